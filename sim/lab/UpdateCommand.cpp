#include "lab/UpdateCommand.h"

#include "LabUpdateRun.h"
#include "lab/BootloaderArguments.h"
#include "lab/JsonLines.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <optional>

namespace flashwell::lab {

namespace {

struct Options
{
    QUrl server;
    bool pidGiven = false;
    bool versionGiven = false;
    QString downloads;
    QString language;
    bool betaBuilds = false;
    QString dumpFlash;
    LabUpdateOptions run;
};

int usageError(const QString &message)
{
    std::fprintf(stderr,
                 "flashwell-lab update: %s\n"
                 "usage: flashwell-lab update --server URL --pid HEX --version X.YY [--beta N]\n"
                 "       --bootloader classic|second-gen|hjz [bootloader options of flash] [--row N]\n"
                 "       [--downloads DIR] [--language TAG] [--beta-builds] [--manual] [--dump-flash PATH]\n"
                 "       [--fault drop-reply:N|corrupt-write:N|unplug-after:N|fail-send:N]... [--record FILE]\n",
                 qPrintable(message));
    return 2;
}

// "1.02" -> 102; at most two decimals, at most 655.35.
std::optional<uint16_t> hundredths(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,3})(?:\\.(\\d{1,2}))?$"));
    const auto match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const uint32_t whole = match.captured(1).toUInt();
    QString fraction = match.captured(2);
    while (fraction.size() < 2)
        fraction += QLatin1Char('0');
    const uint32_t value = whole * 100 + fraction.toUInt();
    return value <= 0xFFFF ? std::optional<uint16_t>(static_cast<uint16_t>(value)) : std::nullopt;
}

QString parse(const QStringList &args, Options &o)
{
    LabFlashOptions &b = o.run.boot;
    BootloaderArguments boot(b);
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        auto decValue = [&](uint32_t max) -> std::optional<uint32_t> {
            const auto v = value();
            const auto n = v ? parseNumber(*v, 10) : std::nullopt;
            return n && *n <= max ? n : std::nullopt;
        };
        if (QString error; boot.take(args, i, error)) {
            if (!error.isEmpty())
                return error;
        } else if (a == QLatin1String("--server")) {
            const auto v = value();
            const QUrl url = v ? QUrl(*v) : QUrl();
            if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
                return QStringLiteral("--server needs a URL such as http://127.0.0.1:8080/");
            o.server = url;
        } else if (a == QLatin1String("--pid")) {
            const auto v = value();
            const auto n = v ? parseNumber(*v, 16) : std::nullopt;
            if (!n || *n > 0xFFFF)
                return QStringLiteral("--pid needs a 16-bit hex number");
            o.run.pid = static_cast<uint16_t>(*n);
            o.pidGiven = true;
        } else if (a == QLatin1String("--version")) {
            const auto v = value();
            const auto h = v ? hundredths(*v) : std::nullopt;
            if (!h)
                return QStringLiteral("--version needs a version such as 1.02");
            o.run.versionHundredths = *h;
            o.versionGiven = true;
        } else if (a == QLatin1String("--beta")) {
            const auto n = decValue(0xFFFF);
            if (!n)
                return QStringLiteral("--beta needs a number from 0 to 65535");
            o.run.beta = static_cast<uint16_t>(*n);
        } else if (a == QLatin1String("--row")) {
            const auto n = decValue(100000);
            if (!n)
                return QStringLiteral("--row needs a number");
            o.run.row = static_cast<int>(*n);
        } else if (a == QLatin1String("--downloads")) {
            const auto v = value();
            if (!v || v->isEmpty())
                return QStringLiteral("--downloads needs a folder");
            o.downloads = *v;
        } else if (a == QLatin1String("--language")) {
            const auto v = value();
            if (!v || v->isEmpty())
                return QStringLiteral("--language needs a tag such as en-US or zh-Hans-CN");
            o.language = *v;
        } else if (a == QLatin1String("--beta-builds")) {
            o.betaBuilds = true;
        } else if (a == QLatin1String("--record")) {
            const auto v = value();
            if (!v || v->isEmpty())
                return QStringLiteral("--record needs a path");
            o.run.recordPath = *v;
        } else if (a == QLatin1String("--manual")) {
            o.run.manual = true;
        } else {
            return QStringLiteral("unknown option %1").arg(a);
        }
    }
    if (o.server.isEmpty())
        return QStringLiteral("--server is required");
    if (!o.pidGiven)
        return QStringLiteral("--pid is required");
    if (!o.versionGiven)
        return QStringLiteral("--version is required");
    if (QString error = boot.finish(); !error.isEmpty())
        return error;
    o.dumpFlash = boot.dumpFlash();
    o.run.reportedPidGiven = boot.reportedPidGiven();
    // The update's bus carries the host's send faults.
    if (b.failSend) {
        o.run.faults.push_back({HidFault::Kind::FailSend, HidFault::Direction::HostToDevice, *b.failSend});
        b.failSend.reset();
    }
    // The 0x2000 pad's second-generation bootloader interface sits beside its normal one.
    o.run.bootloaderAttached = b.bootloader == LabBootloader::SecondGen && o.run.pid == 0x2000;
    return {};
}

} // namespace

int runUpdate(const QStringList &args)
{
    Options o;
    if (const QString error = parse(args, o); !error.isEmpty())
        return usageError(error);

    // Nothing of a lab run reaches the user's settings or Downloads folder.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return usageError(QStringLiteral("cannot create a temporary folder"));
    UserDefaults::useFileForStandard(scratch.filePath(QStringLiteral("defaults.ini")));
    if (!o.language.isEmpty())
        UserDefaults::standard().setObject(QStringList{o.language}, QStringLiteral("AppleLanguages"));
    UserDefaults::standard().setObject(o.betaBuilds, QStringLiteral("UserDefaults_isBeta"));
    // Alerts print their texts in the run's language.
    if (QCoreApplication *app = QCoreApplication::instance())
        Bundle::installTranslations(*app);

    QUrl base = o.server;
    if (!base.path().endsWith(QLatin1Char('/')))
        base.setPath(base.path() + QLatin1Char('/'));
    ServerConfig config = ServerConfig::defaults();
    config.primary = config.china = config.beta = base;
    config.downloadsRoot = o.downloads.isEmpty() ? scratch.path() : o.downloads;
    ServerConfig::install(config);
    if (QHostAddress(base.host()).isLoopback() || base.host() == QLatin1String("localhost"))
        SHttp::network().setProxy(QNetworkProxy::NoProxy);

    // The run is torn down before the result line, so whatever its end still causes (the device
    // leaving) is printed before it, never after.
    int status = 1;
    UpdateRunResult result;
    {
        LabUpdateRun run(o.run);
        if (const QString error = run.recordingError(); !error.isEmpty()) {
            ServerConfig::install(std::nullopt);
            UserDefaults::useFileForStandard({});
            return usageError(error);
        }
        run.onLine = [](const QJsonObject &line) { printJsonLine(line); };
        result = run.run();
        status = result.success ? 0 : 1;
        if (!o.dumpFlash.isEmpty()) {
            QFile out(o.dumpFlash);
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)
                || out.write(QJsonDocument(run.flashDump()).toJson(QJsonDocument::Compact) + '\n') < 0) {
                std::fprintf(stderr, "flashwell-lab update: cannot write %s\n", qPrintable(o.dumpFlash));
                status = 2;
            }
        }
    }
    printResultLine(
        QJsonObject{{QStringLiteral("result"), result.success ? QStringLiteral("success") : QStringLiteral("failed")},
                    {QStringLiteral("state"), static_cast<qint64>(result.state)},
                    {QStringLiteral("message"), result.message},
                    {QStringLiteral("virtual_ms"), static_cast<qint64>(result.virtualMs)}});
    ServerConfig::install(std::nullopt);
    UserDefaults::useFileForStandard({});
    return status;
}

} // namespace flashwell::lab
