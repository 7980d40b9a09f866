// Makes the regression recordings in tests/recordings/: each update path run once in the lab with
// --record, beside the firmware it flashed. Run it again when a wire format changes on purpose:
//   build/test/tests/make_recordings tests/recordings
#include "integration/UpdatePathCases.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/ApplicationContext.h"
#include "platform/UserDefaults.h"
#include "runs/LabFlashRun.h"
#include "runs/LabUpdateRun.h"
#include "server/LabFirmwareServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTemporaryDir>

#include <cstdio>

using namespace flashwell;
using namespace flashwell::lab;
using namespace flashwell::test;

namespace {

bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ApplicationContext context;
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_recordings DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir scratch;
    UserDefaults::useFileForStandard(scratch.filePath(QStringLiteral("defaults.ini")));
    SHttp::network().setProxy(QNetworkProxy::NoProxy);

    const std::pair<const char *, PathCase> paths[] = {{"classic", classicPath()},
                                                       {"second-gen-switch", switchPath()},
                                                       {"second-gen-0x2000", padPath()},
                                                       {"jl", jlPath()},
                                                       {"hjz", hjzPath()},
                                                       {"manual-guide", manualPath()}};
    int status = 0;
    for (const auto &[name, c] : paths) {
        LabFirmwareServer server;
        server.listen();
        server.addRelease(releaseJson(1, c.releaseType, 1.05, QStringLiteral("fw.bin")), c.file);
        ServerConfig config;
        config.primary = config.china = config.beta = server.baseUrl();
        config.downloadsRoot = scratch.path();
        ServerConfig::install(config);
        LabUpdateOptions o = c.options;
        o.recordPath = out.filePath(QLatin1String(name) + QStringLiteral(".jsonl"));
        LabUpdateRun run(o);
        const UpdateRunResult r = run.run();
        const bool saved = write(out.filePath(QLatin1String(name) + QStringLiteral(".bin")), c.file);
        std::printf("%s: %s %s\n", name, r.success ? "success" : "failed", qPrintable(r.message));
        if (!r.success || !saved)
            status = 1;
    }
    ServerConfig::install(std::nullopt);

    // A receiver's classic bootloader with its settings step, as a session alone.
    ClassicFirmware fw;
    fw.address = 0x08004000;
    fw.data = patternBytes(2000, 7);
    const QString firmware = out.filePath(QStringLiteral("receiver-settings.bin"));
    LabFlashOptions flash;
    flash.file = firmware;
    flash.receiverSettings = true;
    flash.recordPath = out.filePath(QStringLiteral("receiver-settings.jsonl"));
    if (!write(firmware, fw.build()))
        return 1;
    LabFlashRun run(flash);
    const FlashRunResult r = run.run();
    std::printf("receiver-settings: %s %s\n", r.success ? "success" : "failed", qPrintable(r.message));
    UserDefaults::useFileForStandard({});
    return r.success ? status : 1;
}
