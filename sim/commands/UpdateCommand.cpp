#include "commands/UpdateCommand.h"

#include "commands/BootloaderArguments.h"
#include "commands/JsonLines.h"
#include "commands/OptionProblems.h"
#include "device/FirmwareVersion.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"
#include "runs/LabUpdateRun.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

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

QString parse(const QStringList &args, Options &o)
{
    LabFlashOptions &b = o.run.boot;
    BootloaderArguments boot(b);
    CommandLine line(CommandLine::Rules{.optionPrefix = {}});
    boot.addTo(line);
    // A missing value is reported as a wrong one.
    auto value = [&line](const char *name, const QString &why, const std::function<bool(const QString &)> &take) {
        line.value(
            {QLatin1String(name)}, [=](const QString &v) { return take(v) ? QString() : why; }, why);
    };
    auto decimal = [&value](const char *name, uint32_t max, const QString &why,
                            const std::function<void(uint32_t)> &store) {
        value(name, why, [=](const QString &v) {
            const auto n = parseNumber(v, 10);
            if (!n || *n > max)
                return false;
            store(*n);
            return true;
        });
    };
    value("--server", QStringLiteral("--server needs a URL such as http://127.0.0.1:8080/"), [&o](const QString &v) {
        const QUrl url(v);
        o.server = url;
        return url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty();
    });
    value("--pid", QStringLiteral("--pid needs a 16-bit hex number"), [&o](const QString &v) {
        const auto n = parseNumber(v, 16);
        if (!n || *n > 0xFFFF)
            return false;
        o.run.pid = static_cast<uint16_t>(*n);
        o.pidGiven = true;
        return true;
    });
    value("--version", QStringLiteral("--version needs a version such as 1.02"), [&o](const QString &v) {
        const auto h = firmware_version::parseHundredths(v);
        if (!h)
            return false;
        o.run.versionHundredths = *h;
        o.versionGiven = true;
        return true;
    });
    decimal("--beta", 0xFFFF, QStringLiteral("--beta needs a number from 0 to 65535"),
            [&o](uint32_t n) { o.run.beta = static_cast<uint16_t>(n); });
    decimal("--row", 100000, QStringLiteral("--row needs a number"),
            [&o](uint32_t n) { o.run.row = static_cast<int>(n); });
    auto text = [&value](const char *name, const QString &why, QString &field) {
        value(name, why, [&field](const QString &v) {
            field = v;
            return !v.isEmpty();
        });
    };
    text("--downloads", QStringLiteral("--downloads needs a folder"), o.downloads);
    text("--language", QStringLiteral("--language needs a tag such as en-US or zh-Hans-CN"), o.language);
    text("--record", QStringLiteral("--record needs a path"), o.run.recordPath);
    line.flag({QStringLiteral("--beta-builds")}, [&o] { o.betaBuilds = true; })
        .flag({QStringLiteral("--manual")}, [&o] { o.run.manual = true; });
    if (const auto problem = line.read(args).problem)
        return problemText(*problem);
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
