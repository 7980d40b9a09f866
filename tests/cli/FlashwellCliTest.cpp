// flashwell-cli's commands in process: the real watchers, sessions and update controller on the
// virtual bus in virtual time, the real server client against the lab's server on loopback.
#include "cli/FlashwellCli.h"
#include "FirmwareFileBuilder.h"
#include "FlashMemory.h"
#include "LabFirmwareServer.h"
#include "MixedTimePump.h"
#include "VirtualClassicBootloader.h"
#include "VirtualDeviceModel.h"
#include "VirtualDinputController.h"
#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "device/SHIDHJZ.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"
#include "update/ObservingCatalogueClient.h"
#include "update/UpdateHistory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTemporaryDir>

#include <ostream>

#include <gtest/gtest.h>

#include <tuple>

#include "support/TestSupport.h"

using namespace flashwell;
using namespace flashwell::lab;
using flashwell::cli::FlashwellCli;
using flashwell::test::ScopedCatalogue;

namespace {

QJsonObject releaseJson(int id, double version, const char *fileName, int beta = 0)
{
    return {{QStringLiteral("id"), id},
            {QStringLiteral("type"), 12}, // the Heron's catalogue type
            {QStringLiteral("version"), version},
            {QStringLiteral("beta"), beta},
            {QStringLiteral("date"), QStringLiteral("2026-11-30")},
            {QStringLiteral("fileName"), QString::fromLatin1(fileName)},
            {QStringLiteral("readme"), QStringLiteral("说明")},
            {QStringLiteral("readme_en"), QStringLiteral("Notes")}};
}

QByteArray classicFile(uint16_t version, int seed)
{
    ClassicFirmware fw;
    fw.version = version;
    fw.address = 0x08004000;
    fw.data = patternBytes(3000, seed);
    return fw.build();
}

QByteArray imageOf(int seed)
{
    return patternBytes(3000, seed);
}

class CliTest : public ::testing::Test
{
protected:
    CliTest()
        : history(dir.filePath(QStringLiteral("state/update-history.jsonl")))
    {}

    void SetUp() override
    {
        SHttp::network().setProxy(QNetworkProxy::NoProxy);
        ASSERT_TRUE(server.listen());
        ServerConfig config;
        config.primary = config.china = server.baseUrl();
        config.beta = QUrl(server.baseUrl().toString() + QStringLiteral("beta/"));
        config.downloadsRoot = dir.filePath(QStringLiteral("downloads"));
        ServerConfig::install(config);
        bus.setLatencyMs(1);
        // The Heron (0x3011, D-input) switches to the classic bootloader by report.
        heron.versionHundredths = 100;
        boot.normalIdentity = heron.identity();
        heron.setBootTarget(boot.identity(), &boot);
    }
    void TearDown() override { ServerConfig::install(std::nullopt); }

    void serveReleases()
    {
        server.addRelease(releaseJson(1, 1.03, "Heron_V1.03.bin"), classicFile(103, 1));
        server.addRelease(releaseJson(2, 1.05, "Heron_V1.05.bin"), classicFile(105, 2));
        server.addRelease(releaseJson(3, 1.02, "Heron_V1.02.bin"), classicFile(102, 3));
    }

    // The Wren (type 2) and its release 2.10: it cannot be switched by a report, so once the
    // program asks for it, the user re-plugs it in its bootloader.
    void switchWrenByHand(VirtualDinputController &wren)
    {
        QJsonObject json = releaseJson(4, 2.10, "Wren_V2.10.bin");
        json.insert(QStringLiteral("type"), 2);
        server.addRelease(json, classicFile(210, 4));
        wren.plug();
        onOut = [this, &wren](const QString &t) {
            if (t.contains(QStringLiteral("Waiting for the device"))) {
                clock.after(1500, [this, &wren] {
                    wren.unplug();
                    clock.after(500, [this] { boot.plug(); });
                });
            }
        };
    }

    // Runs the command line; `answers` are the lines the user types.
    int run(const QStringList &args, QStringList answers = {})
    {
        out.clear();
        err.clear();
        FlashwellCli::Environment env;
        env.update = UpdateServices{{&clock, &bus}, &vela2, &hjz, &hjzWatcher, &client};
        env.client = &client;
        env.historyPath = history.path();
        env.deviceLockPath = lockPath;
        env.runUntil = [this](const std::function<bool()> &done) { pump(done); };
        env.readLine = [&answers]() -> std::optional<QString> {
            if (answers.isEmpty())
                return std::nullopt;
            return answers.takeFirst();
        };
        env.out = [this](const QString &t) {
            out += t;
            if (onOut)
                onOut(t);
        };
        env.err = [this](const QString &t) { err += t; };
        FlashwellCli cli(env);
        current = &cli;
        const int status = cli.run(args);
        current = nullptr;
        return status;
    }

    // Virtual time runs while no request waits on the server; while one does, at the wall clock's pace.
    void pump(const std::function<bool()> &done)
    {
        MixedTimePump pump(clock);
        pump.paced = [this] { return client.inFlight() > 0; };
        pump.stepsPerTurn = 200;
        pump.idleStepMs = 10; // the commands wait for moments of virtual time too
        ASSERT_TRUE(pump.runUntil(done, 30000)) << "the command did not end";
    }

    QList<QJsonObject> jsonLines() const
    {
        QList<QJsonObject> lines;
        for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8());
            EXPECT_TRUE(doc.isObject()) << "not a JSON object: " << qPrintable(line);
            lines.append(doc.object());
        }
        return lines;
    }

    QTemporaryDir dir;
    UpdateHistory history;
    LabFirmwareServer server;
    VirtualScheduler clock;
    VirtualHidBus bus{clock};
    SHIDBootVela2 vela2{{&clock, &bus}};
    SHIDBootHJZ hjz{{&clock, &bus}};
    SHIDHJZ hjzWatcher{{&clock, &bus}};
    ObservingCatalogueClient client;
    VirtualDinputController heron{bus, 0x3011, 0x2DC8, QStringLiteral("Fenwyk Heron")};
    VirtualClassicBootloader boot{bus};
    QString out;
    QString err;
    std::function<void(const QString &)> onOut;
    QString lockPath; // none unless a test sets it
    FlashwellCli *current = nullptr;
};

// The program's texts in English, as a user with an English interface sees them.
class EnglishTexts : public ::testing::Environment
{
public:
    void SetUp() override
    {
        UserDefaults::standard().setObject(QStringList{QStringLiteral("en-US")}, QStringLiteral("AppleLanguages"));
        Bundle::installTranslations(*QCoreApplication::instance());
    }
};
const auto *const kEnglish = ::testing::AddGlobalTestEnvironment(new EnglishTexts);

} // namespace

TEST_F(CliTest, DevicesListsIdentifiedDevicesAndBootloaders)
{
    heron.versionHundredths = 107;
    heron.beta = 2;
    heron.plug();
    VirtualClassicBootloader other(bus, 0x5760, 0x0483);
    other.plug();

    ASSERT_EQ(run({QStringLiteral("devices")}), 0) << qPrintable(err);
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << qPrintable(out);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("1  Fenwyk Heron  2dc8:3011  version 1.07 beta 2")))
        << qPrintable(lines[0]);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("2  ")) && lines[1].contains(QStringLiteral("0483:5760"))
                && lines[1].endsWith(QStringLiteral("bootloader mode")))
        << qPrintable(lines[1]);

    ASSERT_EQ(run({QStringLiteral("devices"), QStringLiteral("--json")}), 0);
    const QList<QJsonObject> json = jsonLines();
    ASSERT_EQ(json.size(), 2);
    EXPECT_EQ(json[0].value(QStringLiteral("index")).toInt(), 1);
    EXPECT_EQ(json[0].value(QStringLiteral("pid")).toString(), QStringLiteral("3011"));
    EXPECT_EQ(json[0].value(QStringLiteral("version")).toString(), QStringLiteral("1.07"));
    EXPECT_EQ(json[0].value(QStringLiteral("beta")).toInt(), 2);
    EXPECT_EQ(json[0].value(QStringLiteral("bootVersion")).toString(), QStringLiteral("0x0000"));
    EXPECT_FALSE(json[0].value(QStringLiteral("bootloader")).toBool());
    EXPECT_TRUE(json[1].value(QStringLiteral("bootloader")).toBool());
}

TEST_F(CliTest, DevicesWithNothingAttachedSaysSo)
{
    ASSERT_EQ(run({QStringLiteral("devices")}), 0);
    EXPECT_EQ(out, QStringLiteral("No devices found.\n"));
}

// A loaded machine answers late: a device found but not yet identified when the discovery
// window closes is waited for; one that never answers is given up at the limit.
TEST_F(CliTest, DiscoveryWaitsForADeviceStillBeingIdentified)
{
    bus.setLatencyMs(FlashwellCli::kDiscoveryMs);
    heron.plug();
    const int64_t start = clock.nowMs();
    ASSERT_EQ(run({QStringLiteral("devices")}), 0) << qPrintable(err);
    EXPECT_TRUE(out.startsWith(QStringLiteral("1  Fenwyk Heron  2dc8:3011  version 1.00"))) << qPrintable(out);
    EXPECT_LT(clock.nowMs() - start, FlashwellCli::kDiscoveryLimitMs) << "ends once the device is identified";

    bus.setLatencyMs(1);
    heron.unplug();
    lab::SilentDevice mute(bus, HidIdentity{0x2DC8, 0x3011, QStringLiteral("Fenwyk Heron")});
    mute.plug();
    const int64_t again = clock.nowMs();
    ASSERT_EQ(run({QStringLiteral("devices")}), 0);
    EXPECT_EQ(out, QStringLiteral("No devices found.\n"));
    EXPECT_GE(clock.nowMs() - again, FlashwellCli::kDiscoveryLimitMs);
    EXPECT_LT(clock.nowMs() - again, FlashwellCli::kDiscoveryLimitMs + 1000);
}

TEST_F(CliTest, ReleasesInTheScreensOrderWithTheNewMark)
{
    serveReleases();
    heron.plug();
    ASSERT_EQ(run({QStringLiteral("releases"), QStringLiteral("2dc8:3011")}), 0) << qPrintable(err);
    EXPECT_EQ(out, QStringLiteral("1  2026-11-30  Heron V1.05  NEW\n"
                                  "2  2026-11-30  Heron V1.03\n"
                                  "3  2026-11-30  Heron V1.02\n"));

    ASSERT_EQ(run({QStringLiteral("releases"), QStringLiteral("1"), QStringLiteral("--json")}), 0);
    const QList<QJsonObject> json = jsonLines();
    ASSERT_EQ(json.size(), 3);
    EXPECT_EQ(json[0].value(QStringLiteral("version")).toString(), QStringLiteral("1.05"));
    EXPECT_EQ(json[0].value(QStringLiteral("file")).toString(), QStringLiteral("Heron_V1.05.bin"));
    EXPECT_TRUE(json[0].value(QStringLiteral("new")).toBool());
    EXPECT_FALSE(json[1].value(QStringLiteral("new")).toBool());
}

TEST_F(CliTest, BetaBuildsComeFromTheBetaServerForThisRunOnly)
{
    heron.plug();
    ASSERT_EQ(run({QStringLiteral("releases"), QStringLiteral("1"), QStringLiteral("--beta-builds")}), 1);
    ASSERT_FALSE(server.requestsTo("/beta/firmware/select").isEmpty()) << "the beta server was not asked";
    EXPECT_EQ(ServerConfig::current().primary, server.baseUrl()) << "the configuration is restored";
}

struct FailureCase
{
    const char *name;
    std::vector<const char *> args;
    std::function<void(LabFirmwareServer &)> arrange;
    int status;
    const char *message; // stderr starts with this
};

// Test names and failure messages show the case, not its bytes.
inline void PrintTo(const FailureCase &c, std::ostream *os)
{
    *os << c.name;
}

class CliFailures : public CliTest, public ::testing::WithParamInterface<FailureCase>
{
};

TEST_P(CliFailures, OneClearLineAndItsStatus)
{
    const FailureCase &c = GetParam();
    serveReleases();
    if (c.arrange)
        c.arrange(server);
    heron.plug();
    EXPECT_EQ(run(flashwell::test::strings(c.args)), c.status) << qPrintable(out);
    EXPECT_TRUE(err.startsWith(QString::fromUtf8(c.message))) << qPrintable(err);
    EXPECT_TRUE(boot.flash().regions().empty()) << "nothing may be written";
    EXPECT_TRUE(history.read().records.isEmpty());

    // The same failure as one JSON object on standard output.
    QStringList json = flashwell::test::strings(c.args);
    json << QStringLiteral("--json");
    EXPECT_EQ(run(json), c.status);
    const QList<QJsonObject> lines = jsonLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last().value(QStringLiteral("status")).toInt(), c.status);
    EXPECT_TRUE(lines.last().value(QStringLiteral("error")).toString().startsWith(QString::fromUtf8(c.message)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliFailures,
    ::testing::Values(
        FailureCase{"NoCommand", {}, nullptr, 2, "Name a command."},
        FailureCase{"UnknownCommand", {"flash"}, nullptr, 2, "Unknown command \"flash\"."},
        FailureCase{"UnknownOption", {"devices", "--all"}, nullptr, 2, "Unknown option \"--all\"."},
        FailureCase{"UnknownShortOption", {"devices", "-x"}, nullptr, 2, "Unknown option \"-x\"."},
        FailureCase{"ProblemBeforeVersion", {"devices", "--all", "--version"}, nullptr, 2, "Unknown option \"--all\"."},
        FailureCase{
            "ReleaseWithoutValue", {"update", "1", "--release", "--yes"}, nullptr, 2, "--release needs a value."},
        FailureCase{"EmptyProduct", {"update", "--product", ""}, nullptr, 2, "--product needs a value."},
        FailureCase{"UpdateOptionOnReleases", {"releases", "1", "--yes"}, nullptr, 2, "--yes, --release"},
        FailureCase{"NoDeviceNamed", {"releases"}, nullptr, 2, "Name a device"},
        FailureCase{"NotADevice", {"update", "heron", "--yes"}, nullptr, 2, "\"heron\" is not a device"},
        FailureCase{"BadRelease", {"update", "1", "--release", "one", "--yes"}, nullptr, 2, "\"one\" is not a release"},
        FailureCase{"NoSuchIndex", {"releases", "4"}, nullptr, 3, "No device 4."},
        FailureCase{"NoSuchIds", {"update", "2dc8:9999", "--yes"}, nullptr, 3, "No device 2dc8:9999."},
        FailureCase{"UnknownRelease", {"update", "1", "--release", "1.04", "--yes"}, nullptr, 1, "No release 1.04"},
        FailureCase{"UnknownBetaRelease",
                    {"update", "1", "--release", "1.05-beta2", "--yes"},
                    nullptr,
                    1,
                    "No release 1.05-beta2"},
        FailureCase{"ServerWithoutList",
                    {"releases", "1"},
                    [](LabFirmwareServer &s) { s.faults.msgState0 = true; },
                    1,
                    "The server sent no release list."},
        FailureCase{"ServerError",
                    {"update", "1", "--yes"},
                    [](LabFirmwareServer &s) { s.faults.http500 = true; },
                    1,
                    "The server sent no release list."},
        FailureCase{
            "BootloaderWithoutProduct", {"update", "--product", "Heron"}, nullptr, 3, "No device in bootloader mode"},
        FailureCase{"ProductForANamedDevice",
                    {"update", "1", "--product", "Heron", "--yes"},
                    nullptr,
                    2,
                    "--product is for a device in bootloader mode"}),
    [](const auto &row) { return std::string(row.param.name); });

struct InfoCase
{
    const char *name;
    std::vector<const char *> args;
    const char *out; // standard output starts with this
};

inline void PrintTo(const InfoCase &c, std::ostream *os)
{
    *os << c.name;
}

class CliHelpAndVersion : public CliTest, public ::testing::WithParamInterface<InfoCase>
{
};

TEST_P(CliHelpAndVersion, PrintedOnStandardOutputWithStatusZero)
{
    heron.plug();
    EXPECT_EQ(run(flashwell::test::strings(GetParam().args)), 0) << qPrintable(err);
    EXPECT_TRUE(out.startsWith(QString::fromUtf8(GetParam().out))) << qPrintable(out);
    EXPECT_TRUE(out.endsWith(QLatin1Char('\n')));
    EXPECT_TRUE(err.isEmpty()) << qPrintable(err);
    EXPECT_TRUE(server.requests().isEmpty()) << "nothing is asked of the server";
    EXPECT_TRUE(history.read().records.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliHelpAndVersion,
    ::testing::Values(InfoCase{"Help", {"--help"}, "usage: flashwell-cli COMMAND [--json]\n"},
                      InfoCase{"ShortHelp", {"-h"}, "usage: flashwell-cli COMMAND [--json]\n"},
                      InfoCase{"HelpAfterACommand", {"update", "1", "--yes", "--help"}, "usage: flashwell-cli"},
                      InfoCase{"Version", {"--version"}, "flashwell-cli "},
                      InfoCase{"VersionInJsonIsText", {"devices", "--json", "--version"}, "flashwell-cli "},
                      InfoCase{"VersionBeforeAProblem", {"--version", "--all"}, "flashwell-cli "}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(CliTest, NoNetworkIsOneLine)
{
    ServerConfig config = ServerConfig::current();
    // A port nobody listens on.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    config.primary = config.china = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort()));
    closed.close();
    ServerConfig::install(config);
    heron.plug();
    EXPECT_EQ(run({QStringLiteral("releases"), QStringLiteral("1")}), 1);
    EXPECT_TRUE(err.startsWith(QStringLiteral("Could not fetch the release list: "))) << qPrintable(err);
    EXPECT_EQ(err.count(QLatin1Char('\n')), 1);
}

TEST_F(CliTest, UpdateWritesTheTopReleaseAndRecordsIt)
{
    serveReleases();
    heron.plug();
    ASSERT_EQ(run({QStringLiteral("update"), QStringLiteral("1")}, {QStringLiteral("y")}), 0) << qPrintable(err);
    EXPECT_TRUE(err.startsWith(QStringLiteral("Write firmware 1.05 to Fenwyk Heron (now 1.00)? [y/N] ")))
        << qPrintable(err);
    EXPECT_EQ(boot.flash().read(0x08004000, 3000), imageOf(2));
    EXPECT_TRUE(out.startsWith(QStringLiteral("Downloading Heron_V1.05.bin…\nWriting firmware…\nWritten: 0 %\n")))
        << qPrintable(out);
    EXPECT_TRUE(out.contains(QStringLiteral("Written: 50 %")));
    EXPECT_TRUE(out.endsWith(QStringLiteral("Fenwyk Heron updated to 1.05.\n"))) << qPrintable(out);

    const UpdateHistory::Contents h = history.read();
    ASSERT_EQ(h.records.size(), 1);
    const UpdateHistoryRecord &r = h.records.first();
    EXPECT_EQ(r.deviceName, QStringLiteral("Fenwyk Heron"));
    EXPECT_EQ(r.vid, 0x2DC8);
    EXPECT_EQ(r.pid, 0x3011);
    EXPECT_EQ(r.fromVersion, QStringLiteral("1.00"));
    EXPECT_EQ(r.toVersion, QStringLiteral("1.05"));
    EXPECT_EQ(r.fileName, QStringLiteral("Heron_V1.05.bin"));
    EXPECT_EQ(r.outcome, UpdateHistoryRecord::Outcome::Success);

    // history prints it, as text and as JSON.
    ASSERT_EQ(run({QStringLiteral("history")}), 0);
    EXPECT_TRUE(out.contains(QStringLiteral("Fenwyk Heron (2dc8:3011)  1.00 -> 1.05  Heron_V1.05.bin  succeeded")))
        << qPrintable(out);
    ASSERT_EQ(run({QStringLiteral("history"), QStringLiteral("--json")}), 0);
    const QList<QJsonObject> json = jsonLines();
    ASSERT_EQ(json.size(), 1);
    EXPECT_EQ(json[0].value(QStringLiteral("outcome")).toString(), QStringLiteral("success"));
}

TEST_F(CliTest, UpdateOfAChosenReleaseAsJson)
{
    serveReleases();
    heron.plug();
    ASSERT_EQ(run({QStringLiteral("update"), QStringLiteral("2dc8:3011"), QStringLiteral("--release"),
                   QStringLiteral("1.03"), QStringLiteral("--yes"), QStringLiteral("--json")}),
              0)
        << qPrintable(out);
    EXPECT_EQ(boot.flash().read(0x08004000, 3000), imageOf(1));
    const QList<QJsonObject> json = jsonLines();
    ASSERT_GE(json.size(), 4);
    EXPECT_EQ(json.first().value(QStringLiteral("event")).toString(), QStringLiteral("start"));
    EXPECT_EQ(json.first().value(QStringLiteral("to")).toString(), QStringLiteral("1.03"));
    int last = -1;
    for (const QJsonObject &line : json) {
        if (line.value(QStringLiteral("event")).toString() == QLatin1String("progress")) {
            const int percent = line.value(QStringLiteral("percent")).toInt();
            EXPECT_GT(percent, last) << "progress only rises";
            last = percent;
        }
    }
    EXPECT_EQ(last, 100);
    EXPECT_EQ(json.last().value(QStringLiteral("result")).toString(), QStringLiteral("success"));
}

TEST_F(CliTest, UpdateStaysAwayFromDevicesAnotherFlashwellUses)
{
    serveReleases();
    heron.plug();
    lockPath = dir.filePath(QStringLiteral("runtime/io.github.fenwyk.Flashwell.lock"));
    const QStringList update{QStringLiteral("update"), QStringLiteral("1"), QStringLiteral("--yes")};
    {
        // The window, or another update from a terminal, holds the lock.
        ASSERT_TRUE(QDir().mkpath(QFileInfo(lockPath).absolutePath()));
        QLockFile window(lockPath);
        ASSERT_TRUE(window.tryLock(0));
        EXPECT_EQ(run(update), 1);
        EXPECT_TRUE(err.startsWith(QStringLiteral("Another Fenwyk Flashwell is using the devices"))) << qPrintable(err);
        EXPECT_TRUE(server.requestsTo("/firmwareFile/upload/Heron_V1.05.bin").isEmpty());
        EXPECT_TRUE(boot.flash().regions().empty());
    }
    // Free again: the update holds the lock while it writes and lets it go when it ends.
    std::optional<bool> heldWhileWriting;
    onOut = [&](const QString &t) {
        if (!heldWhileWriting && t.contains(QStringLiteral("Writing firmware"))) {
            QLockFile other(lockPath);
            heldWhileWriting = !other.tryLock(0);
        }
    };
    ASSERT_EQ(run(update), 0) << qPrintable(err);
    EXPECT_EQ(heldWhileWriting, std::optional<bool>(true));
    EXPECT_EQ(boot.flash().read(0x08004000, 3000), imageOf(2));
    QLockFile after(lockPath);
    EXPECT_TRUE(after.tryLock(0)) << "released when the update ended";
}

TEST_F(CliTest, DecliningWritesNothing)
{
    serveReleases();
    heron.plug();
    for (const QStringList &answer : {QStringList{QStringLiteral("n")}, QStringList{}}) {
        EXPECT_EQ(run({QStringLiteral("update"), QStringLiteral("1")}, answer), 1);
        EXPECT_TRUE(err.endsWith(QStringLiteral("Nothing was written.\n"))) << qPrintable(err);
    }
    EXPECT_TRUE(server.requestsTo("/firmwareFile/upload/Heron_V1.05.bin").isEmpty());
    EXPECT_TRUE(boot.flash().regions().empty());
    EXPECT_TRUE(history.read().missing);
}

TEST_F(CliTest, DeviceInBootloaderModeIsUpdatedForTheNamedProduct)
{
    serveReleases();
    boot.plug();
    ASSERT_EQ(run({QStringLiteral("update"), QStringLiteral("1"), QStringLiteral("--product"),
                   QStringLiteral("Frobnicator"), QStringLiteral("--yes")}),
              2);
    EXPECT_TRUE(err.startsWith(QStringLiteral("No product named \"Frobnicator\""))) << qPrintable(err);
    ASSERT_EQ(run({QStringLiteral("update"), QStringLiteral("1"), QStringLiteral("--yes")}), 2);
    EXPECT_TRUE(err.startsWith(QStringLiteral("Device 1 is in bootloader mode"))) << qPrintable(err);

    ASSERT_EQ(run({QStringLiteral("update"), QStringLiteral("--product"), QStringLiteral("fenwyk heron"),
                   QStringLiteral("--yes")}),
              0)
        << qPrintable(err);
    EXPECT_EQ(boot.flash().read(0x08004000, 3000), imageOf(2));
    const UpdateHistory::Contents h = history.read();
    ASSERT_EQ(h.records.size(), 1);
    EXPECT_EQ(h.records.first().pid, 0x3011) << "the catalogue entry's identity";
    EXPECT_EQ(h.records.first().fromVersion, QString());
}

TEST_F(CliTest, AProductSharingAChooserItemIsFoundByItsOwnName)
{
    // The chooser shows one item for products of one type; the command line knows each by name.
    const ScopedCatalogue catalogue(
        {test::entry(0x3011, 0x2DC8, 12, "Fenwyk Heron", 5), test::entry(0x3012, 0x2DC8, 12, "Fenwyk Heron Mini", 5)});
    serveReleases();
    boot.plug();
    ASSERT_EQ(run({QStringLiteral("update"), QStringLiteral("--product"), QStringLiteral("Heron Mini"),
                   QStringLiteral("--yes")}),
              0)
        << qPrintable(err);
    const UpdateHistory::Contents h = history.read();
    ASSERT_EQ(h.records.size(), 1);
    EXPECT_EQ(h.records.first().pid, 0x3012) << "the named product, not the chooser item's first";
}

TEST_F(CliTest, ProductWithAHardwareRevisionIsListedAfterItsBootloaderSpoke)
{
    // The Pipit (type 3) chosen by hand waits for its bootloader's firmware type; 200 (the second
    // hardware revision) files it under type 17, whose release is the one written.
    const ScopedCatalogue catalogue({test::entry(0x3023, 0x2DC8, 3, "Fenwyk Pipit")});
    for (const auto &[type, version, name, seed] :
         {std::tuple{3, 1.40, "Pipit_V1.40.bin", 5}, std::tuple{17, 2.40, "PipitV2_V2.40.bin", 6}}) {
        QJsonObject json = releaseJson(seed, version, name);
        json.insert(QStringLiteral("type"), type);
        server.addRelease(json, classicFile(static_cast<uint16_t>(version * 100), seed));
    }
    boot.info.firmwareType = 200;
    boot.plug();
    ASSERT_EQ(
        run({QStringLiteral("update"), QStringLiteral("--product"), QStringLiteral("Pipit"), QStringLiteral("--yes")}),
        0)
        << qPrintable(err);
    EXPECT_EQ(boot.flash().read(0x08004000, 3000), imageOf(6));
    EXPECT_TRUE(out.startsWith(QStringLiteral("Downloading PipitV2_V2.40.bin"))) << qPrintable(out);
}

TEST_F(CliTest, CtrlCWhileWritingAsksOnceMoreThenStops)
{
    serveReleases();
    heron.plug();
    int interrupts = 0;
    onOut = [&](const QString &t) {
        if (!current)
            return;
        if (interrupts == 0 && t.startsWith(QStringLiteral("Written: 20"))) {
            ++interrupts;
            current->interrupt();
        } else if (interrupts == 1 && t.startsWith(QStringLiteral("Written: 40"))) {
            ++interrupts;
            current->interrupt();
        }
    };
    EXPECT_EQ(run({QStringLiteral("update"), QStringLiteral("1"), QStringLiteral("--yes")}), 1);
    EXPECT_EQ(interrupts, 2);
    EXPECT_TRUE(err.contains(QStringLiteral("Press Ctrl-C again to stop."))) << qPrintable(err);
    EXPECT_TRUE(err.endsWith(QStringLiteral("Stopped by the user.\n"))) << qPrintable(err);
    EXPECT_TRUE(out.contains(QStringLiteral("Written: 40"))) << "the first Ctrl-C did not stop the writing";
    const UpdateHistory::Contents h = history.read();
    ASSERT_EQ(h.records.size(), 1);
    EXPECT_EQ(h.records.first().outcome, UpdateHistoryRecord::Outcome::Interrupted);
}

TEST_F(CliTest, DeviceSwitchedByHandGetsTheGuidesLines)
{
    // The Wren (type 2) cannot be switched by a report: the guide, and the user re-plugs it.
    VirtualDinputController wren(bus, 0x3020, 0x2DC8, QStringLiteral("Fenwyk Wren"));
    wren.versionHundredths = 200;
    boot.normalIdentity = wren.identity();
    switchWrenByHand(wren);
    ASSERT_EQ(run({QStringLiteral("update"), QStringLiteral("1"), QStringLiteral("--yes")}), 0) << qPrintable(err);
    EXPECT_TRUE(out.contains(QStringLiteral("Put the device into its update mode by hand:\n"
                                            "  1. Unplug the USB cable and wait 3 seconds.\n"
                                            "  2. Hold SELECT and A, then plug the USB cable back in.\n"
                                            "  3. Let go when the first light blinks fast; the update starts.\n"
                                            "Waiting for the device in its update mode")))
        << qPrintable(out);
    EXPECT_EQ(boot.flash().read(0x08004000, 3000), imageOf(4));
}

TEST_F(CliTest, FailedDownloadIsRecordedWithItsMessage)
{
    serveReleases();
    server.faults.shortBody = true;
    heron.plug();
    EXPECT_EQ(run({QStringLiteral("update"), QStringLiteral("1"), QStringLiteral("--yes")}), 1);
    EXPECT_TRUE(err.startsWith(QStringLiteral("Update failed: "))) << qPrintable(err);
    const UpdateHistory::Contents h = history.read();
    ASSERT_EQ(h.records.size(), 1);
    EXPECT_EQ(h.records.first().outcome, UpdateHistoryRecord::Outcome::Failed);
    EXPECT_FALSE(h.records.first().error.isEmpty());
    EXPECT_TRUE(err.contains(h.records.first().error));
}

TEST_F(CliTest, DeviceLeavingWhileWritingFailsWithTheErrorGuide)
{
    VirtualDinputController wren(bus, 0x3020, 0x2DC8, QStringLiteral("Fenwyk Wren"));
    boot.normalIdentity = wren.identity();
    boot.faults.unplugAfter = 30;
    switchWrenByHand(wren);
    EXPECT_EQ(run({QStringLiteral("update"), QStringLiteral("1"), QStringLiteral("--yes")}), 1);
    // The error guide: the same lines, the first one's "3" reading "8".
    EXPECT_TRUE(out.contains(QStringLiteral("The update failed. Put the device into its update mode by hand, then "
                                            "run flashwell-cli update again (with --product NAME):\n"
                                            "  1. Unplug the USB cable and wait 8 seconds.\n")))
        << qPrintable(out);
    const QString message = QStringLiteral("The device left while the firmware was being written.");
    EXPECT_EQ(err, QStringLiteral("Update failed: ") + message + QLatin1Char('\n'));
    const UpdateHistory::Contents h = history.read();
    ASSERT_EQ(h.records.size(), 1);
    EXPECT_EQ(h.records.first().outcome, UpdateHistoryRecord::Outcome::Failed);
    EXPECT_EQ(h.records.first().error, message);
    EXPECT_EQ(h.records.first().deviceName, QStringLiteral("Fenwyk Wren"));
}

TEST_F(CliTest, HistorySkipsCorruptLinesAndSaysSo)
{
    UpdateHistoryRecord r;
    r.time = QDateTime(QDate(2026, 12, 1), QTime(9, 30), Qt::UTC);
    r.deviceName = QStringLiteral("Fenwyk Crane");
    r.vid = 0x2DC8;
    r.pid = 0x3100;
    r.fromVersion = QStringLiteral("1.25");
    r.toVersion = QStringLiteral("1.30");
    r.fileName = QStringLiteral("Crane_V1.30.bin");
    r.outcome = UpdateHistoryRecord::Outcome::Failed;
    r.error = QStringLiteral("erase reply missing");
    ASSERT_TRUE(history.append(r));
    QFile file(history.path());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("not json\n{\"time\":\"2026-12-01T09:31:00Z\",\"device\":\"Fenwyk Cr");
    file.close();

    ASSERT_EQ(run({QStringLiteral("history")}), 0);
    EXPECT_EQ(out.count(QLatin1Char('\n')), 1) << qPrintable(out);
    EXPECT_TRUE(out.contains(QStringLiteral("1.25 -> 1.30  Crane_V1.30.bin  failed: erase reply missing")));
    EXPECT_EQ(err, QStringLiteral("2 line(s) of the update history could not be read and were skipped.\n"));
    ASSERT_EQ(run({QStringLiteral("history"), QStringLiteral("--json")}), 0);
    const QList<QJsonObject> json = jsonLines();
    ASSERT_EQ(json.size(), 2);
    EXPECT_EQ(json[1].value(QStringLiteral("skipped")).toInt(), 2);
}

TEST_F(CliTest, UnreadableHistoryIsAFailure)
{
    ASSERT_TRUE(QDir().mkpath(history.path())); // a folder where the file should be
    EXPECT_EQ(run({QStringLiteral("history")}), 1);
    EXPECT_TRUE(err.startsWith(QStringLiteral("Cannot read the update history: "))) << qPrintable(err);
}
