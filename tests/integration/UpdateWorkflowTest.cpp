// Catches: an update that ends off state 6 or without its image, a failure without its alert, a replay that differs.
#include "models/FirmwareFileBuilder.h"
#include "models/FlashMemory.h"
#include "models/VirtualBootloader.h"
#include "platform/RecordingReader.h"
#include "platform/VirtualScheduler.h"
#include "runs/LabReplayRun.h"
#include "runs/LabUpdateRun.h"
#include "server/LabFirmwareServer.h"
#include "update/UpdateSessionController.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QTemporaryDir>

#include <ostream>

#include <gtest/gtest.h>

#include "UpdatePathCases.h"
#include "support/LabServerTest.h"
#include "support/TestSupport.h"

using namespace flashwell;
using namespace flashwell::lab;
using namespace flashwell::test;
using State = UpdateSessionController;

namespace {

// The device side of a recording, in order: what a replay must reproduce byte for byte.
QStringList exchange(const Recording &r)
{
    QStringList out;
    for (const RecordingEvent &e : r.events) {
        if (e.kind == RecordingEvent::Kind::Arrived)
            out << QStringLiteral("arrived %1 %2:%3").arg(e.handle).arg(e.vendorId, 4, 16).arg(e.productId, 4, 16);
        else if (e.kind == RecordingEvent::Kind::Left)
            out << QStringLiteral("left %1").arg(e.handle);
        else if (e.kind == RecordingEvent::Kind::Output)
            out << QStringLiteral("out %1 %2 %3 %4")
                       .arg(e.handle)
                       .arg(e.report)
                       .arg(QLatin1String(e.bytes.toHex()))
                       .arg(e.result);
        else if (e.kind == RecordingEvent::Kind::Input)
            out << QStringLiteral("in %1 %2 %3").arg(e.handle).arg(e.after).arg(QLatin1String(e.bytes.toHex()));
    }
    return out;
}

Recording readRecording(const QString &path)
{
    QString error;
    std::optional<Recording> r = RecordingReader::read(path, &error);
    EXPECT_TRUE(r) << qPrintable(error);
    return r.value_or(Recording{});
}

class UpdateWorkflowTest : public LabServerTest
{
protected:
    void serve(const PathCase &c, LabFirmwareServer &to) const
    {
        to.addRelease(releaseJson(1, c.releaseType, 1.05, QStringLiteral("fw_V1.05.bin")), c.file);
    }
    void serve(const PathCase &c) { serve(c, server); }

    // A live update of the path, recorded; `listing` lists the release instead of the test's server.
    UpdateRunResult record(const PathCase &c, const QString &recording, LabFirmwareServer *listing = nullptr)
    {
        serve(c, listing ? *listing : server);
        ServerConfig config = ServerConfig::current();
        config.primary = config.china = config.beta = (listing ? *listing : server).baseUrl();
        ServerConfig::install(config);
        LabUpdateOptions o = c.options;
        o.recordPath = recording;
        LabUpdateRun run(o);
        EXPECT_TRUE(run.recordingError().isEmpty());
        const UpdateRunResult result = run.run();
        config.primary = config.china = config.beta = server.baseUrl();
        ServerConfig::install(config);
        return result;
    }

    ReplayResult replay(const QString &recording, const QString &firmware, const QString &again = {},
                        std::vector<QJsonObject> *lines = nullptr)
    {
        LabReplayRun run({recording, firmware, false, again});
        QString error;
        EXPECT_TRUE(run.load(&error)) << qPrintable(error);
        if (lines)
            run.onLine = [lines](const QJsonObject &l) { lines->push_back(l); };
        return run.run();
    }

    QString scratchFile(const QByteArray &bytes, const char *name = "fw.bin") const
    {
        return writeTempFile(scratch, bytes, name);
    }

    QTemporaryDir scratch;
};

class UpdatePaths : public UpdateWorkflowTest, public ::testing::WithParamInterface<PathCase>
{
};

} // namespace

// Every protocol path, run and recorded once: state 6 with the file in flash, the states in order
// (0, 2, 3 only on the manual path, 5 while writing, 6), and a replay that sends the same reports.
TEST_P(UpdatePaths, EndInState6WithTheFileInFlashAndReplayReportForReport)
{
    const PathCase &c = GetParam();
    serve(c);
    LabUpdateOptions o = c.options;
    o.recordPath = scratch.filePath(QStringLiteral("live.jsonl"));
    {
        LabUpdateRun run(o);
        ASSERT_TRUE(run.recordingError().isEmpty());
        std::vector<int> states;
        bool guide = false;
        run.onLine = [&](const QJsonObject &l) {
            if (l.contains(QStringLiteral("state")))
                states.push_back(l.value(QStringLiteral("state")).toInt());
            guide = guide || l.contains(QStringLiteral("guide"));
        };
        const UpdateRunResult r = run.run();
        ASSERT_TRUE(r.success) << qPrintable(r.message);
        EXPECT_EQ(r.state, State::kStateFinished);
        EXPECT_EQ(run.flash().read(c.flashAddress, static_cast<uint32_t>(c.image.size())), c.image);
        EXPECT_FALSE(run.controller().updateTimerRunning());
        EXPECT_EQ(run.controller().model().updateButton.background, ScreenColour::Green);
        const bool manual = c.releaseType == 2;
        EXPECT_EQ(states, manual ? (std::vector<int>{0, 2, 3, 5, 6}) : (std::vector<int>{0, 2, 5, 6}));
        EXPECT_EQ(guide, manual);
    }
    const Recording recorded = readRecording(o.recordPath);
    ASSERT_EQ(recorded.kind(), QStringLiteral("update"));
    const RecordingEvent *outcome = recorded.step(QStringLiteral("outcome"));
    ASSERT_NE(outcome, nullptr);
    EXPECT_EQ(outcome->json.value(QStringLiteral("result")).toString(), QStringLiteral("success"));
    const RecordingEvent *firmware = recorded.step(QStringLiteral("firmware"));
    ASSERT_NE(firmware, nullptr);
    EXPECT_EQ(firmware->json.value(QStringLiteral("size")).toInteger(), c.file.size());
    EXPECT_GT(recorded.outputReports, 3);

    const QString again = scratch.filePath(QStringLiteral("replayed.jsonl"));
    const ReplayResult r = replay(o.recordPath, scratchFile(c.file), again);
    EXPECT_EQ(r.outcome, ReplayResult::Outcome::Success) << qPrintable(r.message);
    EXPECT_EQ(r.reports, recorded.outputReports);
    EXPECT_EQ(exchange(readRecording(again)), exchange(recorded));
}

INSTANTIATE_TEST_SUITE_P(Protocols, UpdatePaths, ::testing::ValuesIn(allPaths()),
                         [](const auto &row) { return testName(row.param.name); });

namespace {

// A run that cannot finish, and how it must end instead.
struct EndCase
{
    const char *name;
    std::function<void(LabFirmwareServer &, PathCase &)> arrange;
    uint64_t state;
    const char *message; // the one alert starts with it, or (without an alert) the run's message is it
    bool alert;
    bool spinnerStays = false;
};

// Test names and failure messages show the case, not its bytes.
[[maybe_unused]] void PrintTo(const EndCase &c, std::ostream *os)
{
    *os << c.name;
}

class UpdateEndings : public UpdateWorkflowTest, public ::testing::WithParamInterface<EndCase>
{
};

} // namespace

TEST_P(UpdateEndings, EndInTheirStateWithTheirAlertOrMessage)
{
    const EndCase &c = GetParam();
    PathCase path = switchPath();
    c.arrange(server, path);
    serve(path);
    LabUpdateRun run(path.options);
    QStringList alerts;
    run.onLine = [&](const QJsonObject &line) {
        if (line.contains(QStringLiteral("alert")))
            alerts << line.value(QStringLiteral("alert")).toString();
    };
    const UpdateRunResult r = run.run();
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.state, c.state) << qPrintable(r.message);
    if (c.alert) {
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_TRUE(alerts[0].startsWith(QString::fromUtf8(c.message))) << alerts[0].toStdString();
    } else {
        EXPECT_EQ(r.message, QString::fromUtf8(c.message));
        EXPECT_TRUE(alerts.isEmpty()) << qPrintable(alerts.join(u'\n'));
    }
    EXPECT_FALSE(run.controller().updateTimerRunning());
    EXPECT_EQ(!run.controller().model().spinnerHidden, c.spinnerStays);
    if (c.alert) {
        run.clock().advance(60'000);
        EXPECT_EQ(run.controller().state(), State::kStateReady) << "no update error later";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, UpdateEndings,
    ::testing::Values(
        EndCase{"download too short", [](LabFirmwareServer &s, PathCase &) { s.faults.shortBody = true; },
                State::kStateReady, "download of fw_V1.05.bin is only 1999 bytes", true},
        EndCase{"not supported",
                [](LabFirmwareServer &, PathCase &p) {
                    p.options = dinput(0x3011, LabBootloader::Classic);
                    p.options.boot.bootVersion = 0x0105;
                    p.options.boot.hwCode = 0;
                    ClassicFirmware fw;
                    fw.version = 105;
                    fw.data = patternBytes(3000);
                    p.file = fw.build();
                    p.releaseType = 12;
                },
                State::kStateReady, "NotSupport", true},
        EndCase{"session error",
                [](LabFirmwareServer &, PathCase &p) {
                    p.file = buildVela2File({{617, 0, 0x01018000, 0x9026, patternBytes(3000), 100000}});
                },
                State::kStateReady, "image record at 0: header length 100000 runs past end of file", true},
        EndCase{"product mismatch",
                [](LabFirmwareServer &, PathCase &p) {
                    p.file = buildVela2File({{617, 0, 0x01018000, 0x9025, patternBytes(3000)}});
                },
                State::kStateReady, "", true},
        // The 12th report after the press lies inside the first multi-report data packet.
        EndCase{"failed data transfer",
                [](LabFirmwareServer &, PathCase &p) {
                    p = classicPath();
                    p.options.faults.push_back({HidFault::Kind::FailSend, HidFault::Direction::HostToDevice, 12});
                },
                State::kStateFailed, "a data report could not be sent", false},
        EndCase{"row past the list", [](LabFirmwareServer &, PathCase &p) { p.options.row = 3; }, State::kStateReady,
                "row 3 is past the list of 1 releases", false},
        EndCase{"server without a list",
                [](LabFirmwareServer &s, PathCase &p) {
                    s.faults.nonJson = true;
                    p.options.wallTimeoutMs = 1500;
                },
                State::kStateReady, "the server gave no release list", false, true}),
    [](const auto &row) { return testName(row.param.name); });

// A bootloader that leaves while writing: state 7 and the guide; when it comes back, the update
// restarts by itself and flashes the whole image.
TEST_F(UpdateWorkflowTest, LeavingWhileWritingEndsInState7AndTheReturningBootloaderIsFlashedFromTheStart)
{
    PathCase c = switchPath();
    c.options.boot.unplugAfter = 40; // well inside the image
    serve(c);
    LabUpdateRun run(c.options);
    ASSERT_TRUE(run.showScreen());
    ASSERT_TRUE(run.pressUpdate());
    ASSERT_TRUE(run.runUntil([&] { return run.controller().state() == State::kStateWriting; }));
    const UpdateRunResult r = run.finish();
    ASSERT_EQ(r.state, State::kStateFailed) << qPrintable(r.message);
    EXPECT_EQ(r.message, QStringLiteral("the bootloader device left while writing"));
    EXPECT_TRUE(run.controller().model().guideShown);

    run.bootloader()->faults.unplugAfter.reset();
    run.bootloader()->plug();
    ASSERT_TRUE(run.runUntil([&] { return run.controller().state() == State::kStateFinished; }));
    EXPECT_FALSE(run.controller().model().guideShown);
    run.clock().advance(2000);
    EXPECT_EQ(run.flash().read(c.flashAddress, static_cast<uint32_t>(c.image.size())), c.image);
}

TEST_F(UpdateWorkflowTest, AChangedFirmwareDivergesAtTheFirstReportItChanges)
{
    const PathCase c = classicPath();
    const QString recording = scratch.filePath(QStringLiteral("live.jsonl"));
    ASSERT_TRUE(record(c, recording).success);

    // A replay needs the firmware its recording was made with: without one, nothing runs.
    QString missing;
    LabReplayRun withoutFile({recording, {}, false, {}});
    EXPECT_FALSE(withoutFile.load(&missing));
    EXPECT_TRUE(missing.contains(QStringLiteral("--file"))) << qPrintable(missing);

    // The same release with one byte of its image changed, run live: where its reports part.
    PathCase other = c;
    ClassicFirmware changed;
    changed.version = 105;
    changed.address = 0x08004000;
    changed.data = c.image;
    changed.data[3000] = static_cast<char>(changed.data[3000] ^ 0x5A);
    other.file = changed.build();
    ASSERT_NE(other.file, c.file);
    const QString otherRecording = scratch.filePath(QStringLiteral("other.jsonl"));
    LabFirmwareServer otherServer;
    ASSERT_TRUE(otherServer.listen());
    ASSERT_TRUE(record(other, otherRecording, &otherServer).success);
    std::vector<const RecordingEvent *> sent[2];
    const Recording recordings[2] = {readRecording(recording), readRecording(otherRecording)};
    for (int i = 0; i < 2; ++i)
        for (const auto &e : recordings[i].events)
            if (e.kind == RecordingEvent::Kind::Output)
                sent[i].push_back(&e);
    std::size_t at = 0;
    while (at < std::min(sent[0].size(), sent[1].size()) && sent[0][at]->bytes == sent[1][at]->bytes)
        ++at;
    ASSERT_LT(at, sent[0].size());
    const int firstDifferent = sent[0][at]->report;
    ASSERT_GT(firstDifferent, 1);

    std::vector<QJsonObject> lines;
    const ReplayResult r = replay(recording, scratchFile(other.file, "changed.bin"), {}, &lines);
    EXPECT_EQ(r.outcome, ReplayResult::Outcome::Diverged);
    EXPECT_EQ(r.reports, firstDifferent - 1);
    EXPECT_TRUE(r.message.startsWith(QStringLiteral("report %1 differs (step: ").arg(firstDifferent)))
        << qPrintable(r.message);
    EXPECT_TRUE(r.message.contains(
        QStringLiteral("expected %1, got %2")
            .arg(QLatin1String(sent[0][at]->bytes.toHex(' ')), QLatin1String(sent[1][at]->bytes.toHex(' ')))))
        << qPrintable(r.message);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QJsonObject &l) {
        return l.value(QStringLiteral("warning")).toString().contains(QStringLiteral("differs"));
    })) << "a different file is said so on its own line";
}

// The device stored one data command wrongly, so its verification reply disagrees: the recording
// carries that reply, and its replay ends the update with the live run's message.
TEST_F(UpdateWorkflowTest, ADeviceThatAnsweredDifferentlyEndsTheReplayAsTheLiveRunEnded)
{
    PathCase c = switchPath();
    c.options.boot.corruptWrite = 3;
    const QString recording = scratch.filePath(QStringLiteral("live.jsonl"));
    const UpdateRunResult live = record(c, recording);
    ASSERT_FALSE(live.success);
    const Recording recorded = readRecording(recording);
    const RecordingEvent *outcome = recorded.step(QStringLiteral("outcome"));
    ASSERT_NE(outcome, nullptr);
    EXPECT_EQ(outcome->json.value(QStringLiteral("result")).toString(), QStringLiteral("failed"));

    const ReplayResult r = replay(recording, scratchFile(c.file));
    EXPECT_EQ(r.outcome, ReplayResult::Outcome::Failed) << qPrintable(r.message);
    EXPECT_EQ(r.message, live.message);
    EXPECT_EQ(r.reports, recorded.outputReports);
}
