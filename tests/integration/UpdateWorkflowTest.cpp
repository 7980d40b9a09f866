#include "models/FirmwareFileBuilder.h"
#include "models/FlashMemory.h"
#include "models/VirtualBootloader.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/VirtualScheduler.h"
#include "runs/LabUpdateRun.h"
#include "server/LabFirmwareServer.h"
#include "update/UpdateSessionController.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QProcess>
#include <QTemporaryDir>

#include <ostream>

#include <gtest/gtest.h>

#include "UpdatePathCases.h"
#include "support/EventLoop.h"
#include "support/LabServerTest.h"
#include "support/TestSupport.h"

using namespace flashwell;
using namespace flashwell::lab;
using State = UpdateSessionController;
using namespace flashwell::test;

namespace {

class UpdateWorkflowTest : public LabServerTest
{
protected:
    void serve(const PathCase &c, const char *fileName = "fw_V1.05.bin")
    {
        server.addRelease(releaseJson(1, c.releaseType, 1.05, QString::fromLatin1(fileName)), c.file);
    }
};

class UpdatePaths : public UpdateWorkflowTest, public ::testing::WithParamInterface<PathCase>
{
};

} // namespace

TEST_P(UpdatePaths, EndsInState6WithTheFileInFlash)
{
    const PathCase &c = GetParam();
    serve(c);
    LabUpdateRun run(c.options);
    std::vector<QJsonObject> lines;
    run.onLine = [&](const QJsonObject &line) { lines.push_back(line); };
    const UpdateRunResult r = run.run();
    ASSERT_TRUE(r.success) << c.name << ": " << qPrintable(r.message);
    EXPECT_EQ(r.state, State::kStateFinished);
    EXPECT_EQ(run.flash().read(c.flashAddress, static_cast<uint32_t>(c.image.size())), c.image);
    EXPECT_FALSE(run.controller().updateTimerRunning());
    EXPECT_EQ(run.controller().model().updateButton.background, ScreenColour::Green);
    // The states in order: 0, 2 (3 on the manual path), 5 while writing, 6.
    std::vector<int> states;
    bool guide = false;
    for (const QJsonObject &l : lines) {
        if (l.contains(QStringLiteral("state")))
            states.push_back(l.value(QStringLiteral("state")).toInt());
        guide = guide || l.contains(QStringLiteral("guide"));
    }
    const bool manual = c.releaseType == 2;
    std::vector<int> expected{0, 2};
    if (manual)
        expected.push_back(3);
    expected.push_back(5);
    expected.push_back(6);
    EXPECT_EQ(states, expected);
    EXPECT_EQ(guide, manual);
}

INSTANTIATE_TEST_SUITE_P(Protocols, UpdatePaths, ::testing::ValuesIn(allPaths()),
                         [](const auto &row) { return flashwell::test::testName(row.param.name); });

struct AlertCase
{
    const char *name;
    std::function<void(LabFirmwareServer &, LabUpdateOptions &, QByteArray &, int &)> arrange;
    const char *message; // the alert's message starts with this
};

// Test names and failure messages show the case, not its bytes.
inline void PrintTo(const AlertCase &c, std::ostream *os)
{
    *os << c.name;
}

class UpdateAlerts : public UpdateWorkflowTest, public ::testing::WithParamInterface<AlertCase>
{
};

TEST_P(UpdateAlerts, EndInState0WithTheAlert)
{
    const AlertCase &c = GetParam();
    PathCase path = switchPath();
    c.arrange(server, path.options, path.file, path.releaseType);
    serve(path);
    LabUpdateRun run(path.options);
    QStringList alerts;
    run.onLine = [&](const QJsonObject &line) {
        if (line.contains(QStringLiteral("alert")))
            alerts << line.value(QStringLiteral("alert")).toString();
    };
    const UpdateRunResult r = run.run();
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.state, State::kStateReady);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].startsWith(QString::fromUtf8(c.message))) << alerts[0].toStdString();
    EXPECT_FALSE(run.controller().updateTimerRunning());
    run.clock().advance(60'000);
    EXPECT_EQ(run.controller().state(), State::kStateReady) << "no update error later";
}

INSTANTIATE_TEST_SUITE_P(
    Failures, UpdateAlerts,
    ::testing::Values(AlertCase{"download too short",
                                [](LabFirmwareServer &s, LabUpdateOptions &, QByteArray &, int &) {
                                    s.faults.shortBody = true;
                                },
                                "download of fw_V1.05.bin is only 1999 bytes"},
                      AlertCase{"not supported",
                                [](LabFirmwareServer &, LabUpdateOptions &o, QByteArray &file, int &type) {
                                    o = dinput(0x3011, LabBootloader::Classic);
                                    o.boot.bootVersion = 0x0105;
                                    o.boot.hwCode = 0;
                                    ClassicFirmware fw;
                                    fw.version = 105;
                                    fw.data = patternBytes(3000);
                                    file = fw.build();
                                    type = 12;
                                },
                                "NotSupport"},
                      AlertCase{"session error",
                                [](LabFirmwareServer &, LabUpdateOptions &, QByteArray &file, int &) {
                                    file = buildVela2File({{617, 0, 0x01018000, 0x9026, patternBytes(3000), 100000}});
                                },
                                "image record at 0: header length 100000 runs past end of file"},
                      AlertCase{"product mismatch",
                                [](LabFirmwareServer &, LabUpdateOptions &, QByteArray &file, int &) {
                                    file = buildVela2File({{617, 0, 0x01018000, 0x9025, patternBytes(3000)}});
                                },
                                ""}),
    [](const auto &row) { return flashwell::test::testName(row.param.name); });

TEST_F(UpdateWorkflowTest, SilentBootloaderEndsInState7After20To23Seconds)
{
    PathCase c = switchPath();
    c.options.boot.dropReply = 1; // the product ID read goes unanswered
    serve(c);
    LabUpdateRun run(c.options);
    bool errorGuide = false;
    run.onLine = [&](const QJsonObject &line) {
        errorGuide =
            errorGuide || line.value(QStringLiteral("guide")).toObject().value(QStringLiteral("error")).toBool();
    };
    ASSERT_TRUE(run.showScreen());
    ASSERT_TRUE(run.pressUpdate());
    const int64_t pressed = run.clock().nowMs();
    const UpdateRunResult r = run.finish();
    EXPECT_EQ(r.state, State::kStateFailed);
    EXPECT_GE(r.virtualMs - pressed, 20'000);
    EXPECT_LE(r.virtualMs - pressed, 23'000);
    EXPECT_TRUE(errorGuide);
    EXPECT_TRUE(run.controller().model().guideError);
}

TEST_F(UpdateWorkflowTest, RemovalWhileWritingEndsInState7AndTheReturningBootloaderRestarts)
{
    PathCase c = switchPath();
    c.options.boot.unplugAfter = 40; // well inside the image
    serve(c);
    LabUpdateRun run(c.options);
    ASSERT_TRUE(run.showScreen());
    ASSERT_TRUE(run.pressUpdate());
    ASSERT_TRUE(run.runUntil([&] { return run.controller().state() == State::kStateWriting; }));
    const UpdateRunResult r = run.finish();
    EXPECT_EQ(r.state, State::kStateFailed);
    EXPECT_EQ(r.message, QStringLiteral("the bootloader device left while writing"));
    EXPECT_TRUE(run.controller().model().guideShown);

    // The user follows the guide: the bootloader comes back and the update restarts by itself.
    run.bootloader()->faults.unplugAfter.reset();
    run.bootloader()->plug();
    ASSERT_TRUE(run.runUntil([&] { return run.controller().state() == State::kStateFinished; }));
    EXPECT_FALSE(run.controller().model().guideShown);
    EXPECT_EQ(run.flash().read(c.flashAddress, static_cast<uint32_t>(c.image.size())), c.image);
}

TEST_F(UpdateWorkflowTest, AClassicBootloaderComingBackAfterState7IsFlashedFromTheStart)
{
    PathCase c = classicPath();
    // Large enough that the short frame 0x1A sent 0.5 s after the return lands mid-image.
    ClassicFirmware fw;
    fw.version = 105;
    fw.address = 0x08004000;
    fw.data = patternBytes(400'000, 8);
    c.file = fw.build();
    c.image = fw.data;
    c.options.boot.unplugAfter = 6; // inside the data
    serve(c);
    LabUpdateRun run(c.options);
    ASSERT_TRUE(run.showScreen());
    ASSERT_TRUE(run.pressUpdate());
    const UpdateRunResult r = run.finish();
    ASSERT_EQ(r.state, State::kStateFailed) << qPrintable(r.message);

    run.bootloader()->faults.unplugAfter.reset();
    run.bootloader()->plug();
    ASSERT_TRUE(run.runUntil([&] { return run.controller().state() == State::kStateFinished; }));
    run.clock().advance(2000);
    EXPECT_EQ(run.flash().read(c.flashAddress, static_cast<uint32_t>(c.image.size())), c.image);
}

TEST_F(UpdateWorkflowTest, FailedDataTransferEndsInState7)
{
    PathCase c = classicPath();
    // The 12th report after the press lies inside the first multi-report data packet.
    c.options.faults.push_back({HidFault::Kind::FailSend, HidFault::Direction::HostToDevice, 12});
    serve(c);
    LabUpdateRun run(c.options);
    const UpdateRunResult r = run.run();
    EXPECT_EQ(r.state, State::kStateFailed);
    EXPECT_EQ(r.message, QStringLiteral("a data report could not be sent"));
    EXPECT_FALSE(run.controller().updateTimerRunning());
}

TEST_F(UpdateWorkflowTest, ARowPastTheListIsAFailureNotAHang)
{
    PathCase c = classicPath();
    c.options.row = 3;
    serve(c);
    LabUpdateRun run(c.options);
    const UpdateRunResult r = run.run();
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.message, QStringLiteral("row 3 is past the list of 1 releases"));
}

TEST_F(UpdateWorkflowTest, AServerWithoutAListEndsWithinTheWallTimeOut)
{
    PathCase c = classicPath();
    c.options.wallTimeoutMs = 1500;
    server.faults.nonJson = true;
    serve(c);
    LabUpdateRun run(c.options);
    const UpdateRunResult r = run.run();
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.message, QStringLiteral("the server gave no release list"));
    EXPECT_FALSE(run.controller().model().spinnerHidden) << "the spinner stays";
}

#ifdef FLASHWELL_LAB_PATH
// The command-line contract of flashwell-lab update.
TEST_F(UpdateWorkflowTest, CommandLinePrintsStatesEventsAndTheResultLast)
{
    const PathCase c = classicPath();
    serve(c);
    const QString dump = downloads.filePath(QStringLiteral("dump.json"));
    const auto runLab = [&](const QStringList &args) {
        QProcess lab;
        lab.start(QStringLiteral(FLASHWELL_LAB_PATH), args);
        // The server answers from this process's event loop, so keep it turning.
        EXPECT_TRUE(flashwell::test::waitUntil([&] { return lab.state() == QProcess::NotRunning; }, 60'000));
        return std::make_tuple(lab.exitCode(), lab.readAllStandardOutput(), lab.readAllStandardError());
    };
    const QStringList base{QStringLiteral("update"),
                           QStringLiteral("--server"),
                           server.baseUrl().toString(),
                           QStringLiteral("--pid"),
                           QStringLiteral("3011"),
                           QStringLiteral("--version"),
                           QStringLiteral("1.00"),
                           QStringLiteral("--bootloader"),
                           QStringLiteral("classic"),
                           QStringLiteral("--downloads"),
                           downloads.path()};
    auto [code, out, err] = runLab(base + QStringList{QStringLiteral("--dump-flash"), dump});
    EXPECT_EQ(code, 0) << err.constData();
    const QList<QByteArray> lines = out.trimmed().split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines.front(), QByteArray(R"({"state":0})"));
    const QJsonObject last = QJsonDocument::fromJson(lines.back()).object();
    EXPECT_EQ(last.value(QStringLiteral("result")).toString(), QStringLiteral("success"));
    EXPECT_EQ(last.value(QStringLiteral("state")).toInt(), 6);
    EXPECT_GT(last.value(QStringLiteral("virtual_ms")).toInt(), 0);
    EXPECT_TRUE(out.contains(R"({"event":"SHIDBootStartUpdateed"})"));
    QFile dumpFile(dump);
    ASSERT_TRUE(dumpFile.open(QIODevice::ReadOnly));
    const QJsonArray regions =
        QJsonDocument::fromJson(dumpFile.readAll()).object().value(QStringLiteral("regions")).toArray();
    ASSERT_EQ(regions.size(), 1);
    EXPECT_EQ(regions[0].toObject().value(QStringLiteral("data")).toString(), QString::fromLatin1(c.image.toHex()));

    // A stalled bootloader: state 7 through the real watchdog, the guide in its error form, exit 1.
    std::tie(code, out, err) = runLab(base + QStringList{QStringLiteral("--fault"), QStringLiteral("drop-reply:1")});
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(out.contains(R"({"guide":{"error":true}})"));
    EXPECT_TRUE(
        QJsonDocument::fromJson(out.trimmed().split('\n').back()).object().value(QStringLiteral("state")).toInt() == 7);

    for (const QStringList &bad :
         {QStringList{QStringLiteral("update")}, base.mid(0, 7) + QStringList{QStringLiteral("--bootloader")},
          base + QStringList{QStringLiteral("--version"), QStringLiteral("one")},
          base + QStringList{QStringLiteral("--fault"), QStringLiteral("melt:1")}}) {
        std::tie(code, out, err) = runLab(bad);
        EXPECT_EQ(code, 2) << qPrintable(bad.join(u' '));
        EXPECT_FALSE(err.isEmpty());
        EXPECT_TRUE(out.isEmpty());
    }
}
#endif
