#include "net/ServerConfig.h"

#include "platform/UserDefaults.h"

namespace flashwell {

namespace {
std::optional<ServerConfig> &installed()
{
    static std::optional<ServerConfig> config;
    return config;
}

QUrl setting(const char *key, const QUrl &fallback)
{
    const QString value = UserDefaults::standard().stringForKey(QString::fromLatin1(key));
    return value.isEmpty() ? fallback : QUrl(value);
}
} // namespace

ServerConfig ServerConfig::defaults()
{
    ServerConfig c;
    c.primary = QUrl(QStringLiteral("http://update.fenwyk.example:8080/"));
    c.china = QUrl(QStringLiteral("http://update-cn.fenwyk.example:8080/"));
    c.beta = QUrl(QStringLiteral("http://beta.fenwyk.example:8080/"));
    c.ipEchoPage1 = QUrl(QStringLiteral("http://ip.fenwyk.example/"));
    c.ipEchoPage2 = QUrl(QStringLiteral("http://ip2.fenwyk.example/"));
    return c;
}

ServerConfig ServerConfig::current()
{
    if (installed())
        return *installed();
    const ServerConfig d = defaults();
    ServerConfig c;
    c.primary = setting("ServerPrimary", d.primary);
    c.china = setting("ServerChina", d.china);
    c.beta = setting("ServerBeta", d.beta);
    c.ipEchoPage1 = setting("IpEchoPage1", d.ipEchoPage1);
    c.ipEchoPage2 = setting("IpEchoPage2", d.ipEchoPage2);
    c.downloadsRoot = UserDefaults::standard().stringForKey(QStringLiteral("DownloadsRoot"));
    return c;
}

void ServerConfig::install(std::optional<ServerConfig> config)
{
    installed() = std::move(config);
}

} // namespace flashwell
