// Catches: a flashwell-cli command that picks the wrong device or release, misstates a failure, or writes unasked.
#include "cli/FlashwellCli.h"
#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "device/SHIDHJZ.h"
#include "models/FirmwareFileBuilder.h"
#include "models/FlashMemory.h"
#include "models/VirtualClassicBootloader.h"
#include "models/VirtualDeviceModel.h"
#include "models/VirtualDinputController.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"
#include "rigs/MixedTimePump.h"
#include "server/LabFirmwareServer.h"
#include "update/ObservingCatalogueClient.h"
#include "update/UpdateHistory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTemporaryDir>

#include <cmath>
#include <ostream>

#include <gtest/gtest.h>

#include "integration/UpdatePathCases.h"
#include "support/TestSupport.h"

using namespace flashwell;
using namespace flashwell::lab;
using flashwell::cli::FlashwellCli;
using flashwell::test::ScopedCatalogue;
using flashwell::test::strings;
using Outcome = flashwell::UpdateHistoryRecord::Outcome;

namespace {

// A classic release file whose image is imageOf(seed).
QByteArray classicFile(double version, int seed)
{
    ClassicFirmware fw;
    fw.version = static_cast<uint16_t>(std::lround(version * 100));
    fw.address = 0x08004000;
    fw.data = patternBytes(3000, seed);
    return fw.build();
}

QByteArray imageOf(int seed)
{
    return patternBytes(3000, seed);
}

// flashwell-cli's commands in process: the real watchers, sessions and update controller on the
// virtual bus in virtual time, the real server client against the lab's server on loopback.
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
        // The Heron's (type 12) releases.
        serve(1, 12, 1.03, "Heron_V1.03.bin");
        serve(2, 12, 1.05, "Heron_V1.05.bin");
        serve(3, 12, 1.02, "Heron_V1.02.bin");
    }
    void TearDown() override { ServerConfig::install(std::nullopt); }

    // A release whose image is imageOf(id).
    void serve(int id, int type, double version, const char *fileName)
    {
        server.addRelease(test::releaseJson(id, type, version, QString::fromLatin1(fileName)),
                          classicFile(version, id));
    }

    // The Wren (type 2) and its release 2.10: it cannot be switched by a report, so once the
    // program asks for it, the user re-plugs it in its bootloader.
    void switchWrenByHand(VirtualDinputController &wren)
    {
        serve(4, 2, 2.10, "Wren_V2.10.bin");
        boot.normalIdentity = wren.identity();
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
    int run(const char *line, const QStringList &answers = {})
    {
        return run(QString::fromUtf8(line).split(QLatin1Char(' ')), answers);
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

    // The history's one record (a default one, and a failure, when there is not exactly one).
    UpdateHistoryRecord onlyRecord() const
    {
        const UpdateHistory::Contents h = history.read();
        EXPECT_EQ(h.records.size(), 1);
        return h.records.size() == 1 ? h.records.first() : UpdateHistoryRecord{};
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

TEST_F(CliTest, DevicesListsNothingOrIdentifiedDevicesAndBootloaders)
{
    ASSERT_EQ(run("devices"), 0);
    EXPECT_EQ(out, QStringLiteral("No devices found.\n"));

    heron.versionHundredths = 107;
    heron.beta = 2;
    heron.plug();
    VirtualClassicBootloader other(bus, 0x5760, 0x0483);
    other.plug();
    ASSERT_EQ(run("devices"), 0) << qPrintable(err);
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << qPrintable(out);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("1  Fenwyk Heron  2dc8:3011  version 1.07 beta 2")))
        << qPrintable(lines[0]);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("2  ")) && lines[1].contains(QStringLiteral("0483:5760"))
                && lines[1].endsWith(QStringLiteral("bootloader mode")))
        << qPrintable(lines[1]);

    ASSERT_EQ(run("devices --json"), 0);
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

// A loaded machine answers late: a device found but not yet identified when the discovery
// window closes is waited for; one that never answers is given up at the limit.
TEST_F(CliTest, DiscoveryWaitsForADeviceStillBeingIdentified)
{
    bus.setLatencyMs(FlashwellCli::kDiscoveryMs);
    heron.plug();
    const int64_t start = clock.nowMs();
    ASSERT_EQ(run("devices"), 0) << qPrintable(err);
    EXPECT_TRUE(out.startsWith(QStringLiteral("1  Fenwyk Heron  2dc8:3011  version 1.00"))) << qPrintable(out);
    EXPECT_LT(clock.nowMs() - start, FlashwellCli::kDiscoveryLimitMs) << "ends once the device is identified";

    bus.setLatencyMs(1);
    heron.unplug();
    lab::SilentDevice mute(bus, HidIdentity{0x2DC8, 0x3011, QStringLiteral("Fenwyk Heron")});
    mute.plug();
    const int64_t again = clock.nowMs();
    ASSERT_EQ(run("devices"), 0);
    EXPECT_EQ(out, QStringLiteral("No devices found.\n"));
    EXPECT_GE(clock.nowMs() - again, FlashwellCli::kDiscoveryLimitMs);
    EXPECT_LT(clock.nowMs() - again, FlashwellCli::kDiscoveryLimitMs + 1000);
}

TEST_F(CliTest, ReleasesInTheScreensOrderWithTheNewMark)
{
    heron.plug();
    ASSERT_EQ(run("releases 2dc8:3011"), 0) << qPrintable(err);
    EXPECT_EQ(out, QStringLiteral("1  2026-11-30  Heron V1.05  NEW\n"
                                  "2  2026-11-30  Heron V1.03\n"
                                  "3  2026-11-30  Heron V1.02\n"));

    ASSERT_EQ(run("releases 1 --json"), 0);
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
    ASSERT_EQ(run("releases 1 --beta-builds"), 1);
    ASSERT_FALSE(server.requestsTo("/beta/firmware/select").isEmpty()) << "the beta server was not asked";
    EXPECT_EQ(ServerConfig::current().primary, server.baseUrl()) << "the configuration is restored";
}

namespace {

// What the command line meets: the Heron in its normal mode or its bootloader, or a server that
// sends no list, fails, or is not there, a folder where the history file should be, or the device
// lock held by another Flashwell (the window, or another update from a terminal).
enum class Setup { Heron, Bootloader, NoList, ServerError, NoServer, HistoryIsAFolder, Locked };

// A command line that ends before anything is written, its status, and the start of its one line:
// on standard output with status 0 (help and version), on standard error otherwise.
struct LineCase
{
    const char *name;
    std::vector<const char *> args;
    int status;
    const char *text;
    Setup setup = Setup::Heron;
};

// Test names and failure messages show the case, not its bytes.
[[maybe_unused]] void PrintTo(const LineCase &c, std::ostream *os)
{
    *os << c.name;
}

class CliLines : public CliTest, public ::testing::WithParamInterface<LineCase>
{
};

} // namespace

TEST_P(CliLines, OneClearLineAndItsStatusAndNothingWritten)
{
    const LineCase &c = GetParam();
    server.faults.msgState0 = c.setup == Setup::NoList;
    server.faults.http500 = c.setup == Setup::ServerError;
    if (c.setup == Setup::NoServer) {
        ServerConfig config = ServerConfig::current();
        QTcpServer closed; // a port nobody listens on
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
        config.primary = config.china = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort()));
        closed.close();
        ServerConfig::install(config);
    }
    lockPath = dir.filePath(QStringLiteral("runtime/io.github.fenwyk.Flashwell.lock"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(lockPath).absolutePath()));
    QLockFile window(lockPath);
    if (c.setup == Setup::Locked) {
        ASSERT_TRUE(window.tryLock(0));
    }
    if (c.setup == Setup::HistoryIsAFolder) {
        ASSERT_TRUE(QDir().mkpath(history.path()));
    }
    if (c.setup == Setup::Bootloader)
        boot.plug();
    else
        heron.plug();
    EXPECT_EQ(run(strings(c.args)), c.status) << qPrintable(out);
    EXPECT_TRUE(boot.flash().regions().empty()) << "nothing may be written";
    EXPECT_TRUE(history.read().records.isEmpty());
    if (c.status == 0) {
        EXPECT_TRUE(out.startsWith(QString::fromUtf8(c.text))) << qPrintable(out);
        EXPECT_TRUE(out.endsWith(QLatin1Char('\n')));
        EXPECT_TRUE(err.isEmpty()) << qPrintable(err);
        EXPECT_TRUE(server.requests().isEmpty()) << "nothing is asked of the server";
        return;
    }
    EXPECT_TRUE(err.startsWith(QString::fromUtf8(c.text))) << qPrintable(err);
    // Bad usage may be followed by the usage; any other failure is the one line.
    if (c.status != 2) {
        EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << qPrintable(err);
    }

    // The same failure as one JSON object on standard output.
    EXPECT_EQ(run(strings(c.args) << QStringLiteral("--json")), c.status);
    const QList<QJsonObject> lines = jsonLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last().value(QStringLiteral("status")).toInt(), c.status);
    EXPECT_TRUE(lines.last().value(QStringLiteral("error")).toString().startsWith(QString::fromUtf8(c.text)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliLines,
    ::testing::Values(
        LineCase{"Help", {"--help"}, 0, "usage: flashwell-cli COMMAND [--json]\n"},
        LineCase{"ShortHelp", {"-h"}, 0, "usage: flashwell-cli COMMAND [--json]\n"},
        LineCase{"HelpAfterACommand", {"update", "1", "--yes", "--help"}, 0, "usage: flashwell-cli"},
        LineCase{"Version", {"--version"}, 0, "flashwell-cli "},
        LineCase{"VersionInJsonIsText", {"devices", "--json", "--version"}, 0, "flashwell-cli "},
        LineCase{"VersionBeforeAProblem", {"--version", "--all"}, 0, "flashwell-cli "},
        LineCase{"NoCommand", {}, 2, "Name a command."},
        LineCase{"UnknownCommand", {"flash"}, 2, "Unknown command \"flash\"."},
        LineCase{"UnknownOption", {"devices", "--all"}, 2, "Unknown option \"--all\"."},
        LineCase{"UnknownShortOption", {"devices", "-x"}, 2, "Unknown option \"-x\"."},
        LineCase{"ProblemBeforeVersion", {"devices", "--all", "--version"}, 2, "Unknown option \"--all\"."},
        LineCase{"ReleaseWithoutValue", {"update", "1", "--release", "--yes"}, 2, "--release needs a value."},
        LineCase{"EmptyProduct", {"update", "--product", ""}, 2, "--product needs a value."},
        LineCase{"UpdateOptionOnReleases", {"releases", "1", "--yes"}, 2, "--yes, --release"},
        LineCase{"NoDeviceNamed", {"releases"}, 2, "Name a device"},
        LineCase{"NotADevice", {"update", "heron", "--yes"}, 2, "\"heron\" is not a device"},
        LineCase{"BadRelease", {"update", "1", "--release", "one", "--yes"}, 2, "\"one\" is not a release"},
        LineCase{"NoSuchIndex", {"releases", "4"}, 3, "No device 4."},
        LineCase{"NoSuchIds", {"update", "2dc8:9999", "--yes"}, 3, "No device 2dc8:9999."},
        LineCase{"UnknownRelease", {"update", "1", "--release", "1.04", "--yes"}, 1, "No release 1.04"},
        LineCase{"UnknownBetaRelease", {"update", "1", "--release", "1.05-beta2", "--yes"}, 1, "No release 1.05-beta2"},
        LineCase{"ServerWithoutList", {"releases", "1"}, 1, "The server sent no release list.", Setup::NoList},
        LineCase{"ServerError", {"update", "1", "--yes"}, 1, "The server sent no release list.", Setup::ServerError},
        LineCase{"NoNetwork", {"releases", "1"}, 1, "Could not fetch the release list: ", Setup::NoServer},
        LineCase{"DevicesInUse",
                 {"update", "1", "--yes"},
                 1,
                 "Another Fenwyk Flashwell is using the devices",
                 Setup::Locked},
        LineCase{"UnreadableHistory", {"history"}, 1, "Cannot read the update history: ", Setup::HistoryIsAFolder},
        LineCase{"BootloaderWithoutProduct", {"update", "--product", "Heron"}, 3, "No device in bootloader mode"},
        LineCase{"ProductForANamedDevice",
                 {"update", "1", "--product", "Heron", "--yes"},
                 2,
                 "--product is for a device in bootloader mode"},
        LineCase{"NoProductOfThatName",
                 {"update", "1", "--product", "Frobnicator", "--yes"},
                 2,
                 "No product named \"Frobnicator\"",
                 Setup::Bootloader},
        LineCase{"BootloaderNeedsAProduct",
                 {"update", "1", "--yes"},
                 2,
                 "Device 1 is in bootloader mode",
                 Setup::Bootloader}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(CliTest, UpdateWritesTheTopReleaseAndRecordsIt)
{
    heron.plug();
    ASSERT_EQ(run("update 1", {QStringLiteral("y")}), 0) << qPrintable(err);
    EXPECT_TRUE(err.startsWith(QStringLiteral("Write firmware 1.05 to Fenwyk Heron (now 1.00)? [y/N] ")))
        << qPrintable(err);
    EXPECT_EQ(boot.flash().read(0x08004000, 3000), imageOf(2));
    EXPECT_TRUE(out.startsWith(QStringLiteral("Downloading Heron_V1.05.bin…\nWriting firmware…\nWritten: 0 %\n")))
        << qPrintable(out);
    EXPECT_TRUE(out.contains(QStringLiteral("Written: 50 %")));
    EXPECT_TRUE(out.endsWith(QStringLiteral("Fenwyk Heron updated to 1.05.\n"))) << qPrintable(out);

    // The history's one record, as text and as JSON.
    ASSERT_EQ(run("history"), 0);
    EXPECT_TRUE(out.contains(QStringLiteral("Fenwyk Heron (2dc8:3011)  1.00 -> 1.05  Heron_V1.05.bin  succeeded")))
        << qPrintable(out);
    ASSERT_EQ(run("history --json"), 0);
    const QList<QJsonObject> json = jsonLines();
    ASSERT_EQ(json.size(), 1);
    EXPECT_EQ(json[0].value(QStringLiteral("outcome")).toString(), QStringLiteral("success"));
}

// The device lock is held while the update writes and let go when it ends.
TEST_F(CliTest, UpdateOfAChosenReleaseAsJson)
{
    heron.plug();
    lockPath = dir.filePath(QStringLiteral("io.github.fenwyk.Flashwell.lock"));
    std::optional<bool> heldWhileWriting;
    onOut = [&](const QString &t) {
        if (!heldWhileWriting && t.contains(QStringLiteral("\"progress\""))) {
            QLockFile other(lockPath);
            heldWhileWriting = !other.tryLock(0);
        }
    };
    ASSERT_EQ(run("update 2dc8:3011 --release 1.03 --yes --json"), 0) << qPrintable(out);
    EXPECT_EQ(heldWhileWriting, std::optional<bool>(true));
    EXPECT_TRUE(QLockFile(lockPath).tryLock(0)) << "released when the update ended";
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

TEST_F(CliTest, DecliningWritesNothing)
{
    heron.plug();
    for (const QStringList &answer : {QStringList{QStringLiteral("n")}, QStringList{}}) {
        EXPECT_EQ(run("update 1", answer), 1);
        EXPECT_TRUE(err.endsWith(QStringLiteral("Nothing was written.\n"))) << qPrintable(err);
    }
    EXPECT_TRUE(server.requestsTo("/firmwareFile/upload/Heron_V1.05.bin").isEmpty());
    EXPECT_TRUE(boot.flash().regions().empty());
    EXPECT_TRUE(history.read().missing);
}

namespace {

// A product named for a device in bootloader mode: in any case; or one of products that share one
// chooser item (one type).
struct ProductCase
{
    const char *product;
    bool sharedItem;
    uint16_t pid;
};

[[maybe_unused]] void PrintTo(const ProductCase &c, std::ostream *os)
{
    *os << c.product;
}

class CliProducts : public CliTest, public ::testing::WithParamInterface<ProductCase>
{
};

} // namespace

TEST_P(CliProducts, ADeviceInBootloaderModeIsUpdatedForTheProductNamed)
{
    std::optional<ScopedCatalogue> catalogue;
    if (GetParam().sharedItem)
        catalogue.emplace(SFenwykCatalogue{test::entry(0x3011, 0x2DC8, 12, "Fenwyk Heron", 5),
                                           test::entry(0x3012, 0x2DC8, 12, "Fenwyk Heron Mini", 5)});
    boot.plug();
    ASSERT_EQ(run(strings({"update", "--product", GetParam().product, "--yes"})), 0) << qPrintable(err);
    EXPECT_EQ(boot.flash().read(0x08004000, 3000), imageOf(2));
    const UpdateHistoryRecord r = onlyRecord();
    EXPECT_EQ(r.pid, GetParam().pid) << "the named product's identity, not the chooser item's first";
    EXPECT_EQ(r.fromVersion, QString());
}

INSTANTIATE_TEST_SUITE_P(Names, CliProducts,
                         ::testing::Values(ProductCase{"fenwyk heron", false, 0x3011},
                                           ProductCase{"Heron Mini", true, 0x3012}),
                         [](const auto &row) { return test::testName(row.param.product); });

TEST_F(CliTest, CtrlCWhileWritingAsksOnceMoreThenStops)
{
    heron.plug();
    int interrupts = 0;
    onOut = [&](const QString &t) {
        if (current && t.startsWith(QStringLiteral("Written: %1").arg(20 * (interrupts + 1))) && interrupts < 2) {
            ++interrupts;
            current->interrupt();
        }
    };
    EXPECT_EQ(run("update 1 --yes"), 1);
    EXPECT_EQ(interrupts, 2);
    EXPECT_TRUE(err.contains(QStringLiteral("Press Ctrl-C again to stop."))) << qPrintable(err);
    EXPECT_TRUE(err.endsWith(QStringLiteral("Stopped by the user.\n"))) << qPrintable(err);
    EXPECT_TRUE(out.contains(QStringLiteral("Written: 40"))) << "the first Ctrl-C did not stop the writing";
    EXPECT_EQ(onlyRecord().outcome, Outcome::Interrupted);
}

TEST_F(CliTest, DeviceSwitchedByHandGetsTheGuidesLines)
{
    VirtualDinputController wren(bus, 0x3020, 0x2DC8, QStringLiteral("Fenwyk Wren"));
    wren.versionHundredths = 200;
    switchWrenByHand(wren);
    ASSERT_EQ(run("update 1 --yes"), 0) << qPrintable(err);
    EXPECT_TRUE(out.contains(QStringLiteral("Put the device into its update mode by hand:\n"
                                            "  1. Unplug the USB cable and wait 3 seconds.\n"
                                            "  2. Hold SELECT and A, then plug the USB cable back in.\n"
                                            "  3. Let go when the first light blinks fast; the update starts.\n"
                                            "Waiting for the device in its update mode")))
        << qPrintable(out);
    EXPECT_EQ(boot.flash().read(0x08004000, 3000), imageOf(4));
}

TEST_F(CliTest, DeviceLeavingWhileWritingFailsWithTheErrorGuide)
{
    VirtualDinputController wren(bus, 0x3020, 0x2DC8, QStringLiteral("Fenwyk Wren"));
    boot.faults.unplugAfter = 30;
    switchWrenByHand(wren);
    EXPECT_EQ(run("update 1 --yes"), 1);
    // The error guide: the same lines, the first one's "3" reading "8".
    EXPECT_TRUE(out.contains(QStringLiteral("The update failed. Put the device into its update mode by hand, then "
                                            "run flashwell-cli update again (with --product NAME):\n"
                                            "  1. Unplug the USB cable and wait 8 seconds.\n")))
        << qPrintable(out);
    const QString message = QStringLiteral("The device left while the firmware was being written.");
    EXPECT_EQ(err, QStringLiteral("Update failed: ") + message + QLatin1Char('\n'));
    const UpdateHistoryRecord r = onlyRecord();
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_EQ(r.error, message);
    EXPECT_EQ(r.deviceName, QStringLiteral("Fenwyk Wren"));
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
    r.outcome = Outcome::Failed;
    r.error = QStringLiteral("erase reply missing");
    ASSERT_TRUE(history.append(r));
    QFile file(history.path());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("not json\n{\"time\":\"2026-12-01T09:31:00Z\",\"device\":\"Fenwyk Cr");
    file.close();

    ASSERT_EQ(run("history"), 0);
    EXPECT_EQ(out.count(QLatin1Char('\n')), 1) << qPrintable(out);
    EXPECT_TRUE(out.contains(QStringLiteral("1.25 -> 1.30  Crane_V1.30.bin  failed: erase reply missing")));
    EXPECT_EQ(err, QStringLiteral("2 line(s) of the update history could not be read and were skipped.\n"));
    ASSERT_EQ(run("history --json"), 0);
    const QList<QJsonObject> json = jsonLines();
    ASSERT_EQ(json.size(), 2);
    EXPECT_EQ(json[1].value(QStringLiteral("skipped")).toInt(), 2);
}
