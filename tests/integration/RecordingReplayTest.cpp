// Recordings made in the lab replayed against the unchanged product: every update path round
// trips report for report, a changed firmware diverges at the first report it changes, a device
// that answered differently ends the update as the live run ended, broken recordings are refused.
#include "UpdatePathCases.h"
#include "models/FirmwareFileBuilder.h"
#include "platform/RecordingReader.h"
#include "runs/LabReplayRun.h"
#include "runs/LabUpdateRun.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/LabServerTest.h"
#include "support/TestSupport.h"

using namespace flashwell;
using namespace flashwell::lab;
using namespace flashwell::test;

namespace {

// The device side of a recording, in order: what a replay must reproduce byte for byte.
QStringList exchange(const Recording &r)
{
    QStringList out;
    for (const RecordingEvent &e : r.events) {
        switch (e.kind) {
        case RecordingEvent::Kind::Arrived:
            out << QStringLiteral("arrived %1 %2:%3").arg(e.handle).arg(e.vendorId, 4, 16).arg(e.productId, 4, 16);
            break;
        case RecordingEvent::Kind::Left:
            out << QStringLiteral("left %1").arg(e.handle);
            break;
        case RecordingEvent::Kind::Output:
            out << QStringLiteral("out %1 %2 %3 %4")
                       .arg(e.handle)
                       .arg(e.report)
                       .arg(QString::fromLatin1(e.bytes.toHex()))
                       .arg(e.result);
            break;
        case RecordingEvent::Kind::Input:
            out << QStringLiteral("in %1 %2 %3").arg(e.handle).arg(e.after).arg(QString::fromLatin1(e.bytes.toHex()));
            break;
        default:
            break;
        }
    }
    return out;
}

class RecordingReplayTest : public LabServerTest
{
protected:
    QString file(const char *name, const QByteArray &bytes) const
    {
        const QString path = scratch.filePath(QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        return path;
    }

    // A live update of the path, recorded.
    // A live update of the path, recorded; with `other`, that server lists the release instead.
    UpdateRunResult record(const PathCase &c, const QString &recording, LabFirmwareServer *other = nullptr)
    {
        LabFirmwareServer &listing = other ? *other : server;
        listing.addRelease(releaseJson(1, c.releaseType, 1.05, QStringLiteral("fw.bin")), c.file);
        ServerConfig config = ServerConfig::current();
        config.primary = config.china = config.beta = listing.baseUrl();
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

    static Recording read(const QString &path)
    {
        QString error;
        std::optional<Recording> r = RecordingReader::read(path, &error);
        EXPECT_TRUE(r) << qPrintable(error);
        return r.value_or(Recording{});
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

    QTemporaryDir scratch;
};

class RecordedPaths : public RecordingReplayTest, public ::testing::WithParamInterface<PathCase>
{
};

} // namespace

TEST_P(RecordedPaths, ReplayRoundTripsEveryReport)
{
    const PathCase &c = GetParam();
    const QString recording = scratch.filePath(QStringLiteral("live.jsonl"));
    const UpdateRunResult live = record(c, recording);
    ASSERT_TRUE(live.success) << qPrintable(live.message);
    const Recording recorded = read(recording);
    ASSERT_EQ(recorded.kind(), QStringLiteral("update"));
    const RecordingEvent *outcome = recorded.step(QStringLiteral("outcome"));
    ASSERT_NE(outcome, nullptr);
    EXPECT_EQ(outcome->json.value(QStringLiteral("result")).toString(), QStringLiteral("success"));
    const RecordingEvent *firmware = recorded.step(QStringLiteral("firmware"));
    ASSERT_NE(firmware, nullptr);
    EXPECT_EQ(firmware->json.value(QStringLiteral("size")).toInteger(), c.file.size());
    EXPECT_GT(recorded.outputReports, 3);

    const QString again = scratch.filePath(QStringLiteral("replayed.jsonl"));
    const ReplayResult r = replay(recording, file("fw.bin", c.file), again);
    EXPECT_EQ(r.outcome, ReplayResult::Outcome::Success) << qPrintable(r.message);
    EXPECT_EQ(r.reports, recorded.outputReports);
    EXPECT_EQ(exchange(read(again)), exchange(recorded));
}

INSTANTIATE_TEST_SUITE_P(Protocols, RecordedPaths, ::testing::ValuesIn(allPaths()),
                         [](const ::testing::TestParamInfo<PathCase> &p) { return std::to_string(p.index); });

TEST_F(RecordingReplayTest, AChangedFirmwareDivergesAtTheFirstReportItChanges)
{
    const PathCase c = classicPath();
    const QString recording = scratch.filePath(QStringLiteral("live.jsonl"));
    ASSERT_TRUE(record(c, recording).success);

    // The same release with one byte of its image changed, run live: where its reports part.
    ClassicFirmware changed;
    changed.version = 105;
    changed.address = 0x08004000;
    changed.data = patternBytes(6000, 1);
    changed.data[3000] = static_cast<char>(changed.data[3000] ^ 0x5A);
    const QByteArray changedFile = changed.build();
    ASSERT_NE(changedFile, c.file);
    PathCase other = c;
    other.file = changedFile;
    const QString otherRecording = scratch.filePath(QStringLiteral("other.jsonl"));
    LabFirmwareServer otherServer;
    ASSERT_TRUE(otherServer.listen());
    ASSERT_TRUE(record(other, otherRecording, &otherServer).success);
    const Recording a = read(recording);
    const Recording b = read(otherRecording);
    int firstDifferent = 0;
    QByteArray expected;
    QByteArray got;
    {
        std::vector<const RecordingEvent *> outA;
        std::vector<const RecordingEvent *> outB;
        for (const auto &e : a.events)
            if (e.kind == RecordingEvent::Kind::Output)
                outA.push_back(&e);
        for (const auto &e : b.events)
            if (e.kind == RecordingEvent::Kind::Output)
                outB.push_back(&e);
        for (std::size_t i = 0; i < std::min(outA.size(), outB.size()); ++i) {
            if (outA[i]->bytes != outB[i]->bytes) {
                firstDifferent = outA[i]->report;
                expected = outA[i]->bytes;
                got = outB[i]->bytes;
                break;
            }
        }
    }
    ASSERT_GT(firstDifferent, 1);

    std::vector<QJsonObject> lines;
    const ReplayResult r = replay(recording, file("changed.bin", changedFile), {}, &lines);
    EXPECT_EQ(r.outcome, ReplayResult::Outcome::Diverged);
    EXPECT_EQ(r.reports, firstDifferent - 1);
    EXPECT_TRUE(r.message.startsWith(QStringLiteral("report %1 differs (step: ").arg(firstDifferent)))
        << qPrintable(r.message);
    EXPECT_TRUE(
        r.message.contains(QStringLiteral("expected %1, got %2")
                               .arg(QString::fromLatin1(expected.toHex(' ')), QString::fromLatin1(got.toHex(' ')))))
        << qPrintable(r.message);
    const bool warned = std::any_of(lines.begin(), lines.end(), [](const QJsonObject &l) {
        return l.value(QStringLiteral("warning")).toString().contains(QStringLiteral("differs"));
    });
    EXPECT_TRUE(warned) << "a different file is said so on its own line";
}

// The device stored one data command wrongly, so its verification reply disagrees: the recording
// carries that reply, and its replay ends the update with the live run's message.
TEST_F(RecordingReplayTest, ADeviceThatAnsweredDifferentlyEndsTheReplayAsTheLiveRunEnded)
{
    PathCase c = switchPath();
    c.options.boot.corruptWrite = 3;
    const QString recording = scratch.filePath(QStringLiteral("live.jsonl"));
    const UpdateRunResult live = record(c, recording);
    ASSERT_FALSE(live.success);
    const RecordingEvent *outcome = read(recording).step(QStringLiteral("outcome"));
    ASSERT_NE(outcome, nullptr);
    EXPECT_EQ(outcome->json.value(QStringLiteral("result")).toString(), QStringLiteral("failed"));

    const ReplayResult r = replay(recording, file("fw.bin", c.file));
    EXPECT_EQ(r.outcome, ReplayResult::Outcome::Failed) << qPrintable(r.message);
    EXPECT_EQ(r.message, live.message);
    EXPECT_EQ(r.reports, read(recording).outputReports);
}

TEST_F(RecordingReplayTest, ABootloaderSessionRecordingReplaysThroughThatSessionAlone)
{
    ClassicFirmware fw;
    fw.address = 0x08004000;
    fw.data = patternBytes(2500, 9);
    const QString firmware = file("fw.bin", fw.build());
    LabFlashOptions o;
    o.file = firmware;
    o.recordPath = scratch.filePath(QStringLiteral("flash.jsonl"));
    FlashRunResult live;
    {
        LabFlashRun run(o);
        live = run.run();
    }
    ASSERT_TRUE(live.success) << qPrintable(live.message);
    const Recording recorded = read(o.recordPath);
    EXPECT_EQ(recorded.kind(), QStringLiteral("flash"));
    const QString again = scratch.filePath(QStringLiteral("again.jsonl"));
    const ReplayResult r = replay(o.recordPath, firmware, again);
    EXPECT_EQ(r.outcome, ReplayResult::Outcome::Success) << qPrintable(r.message);
    EXPECT_EQ(r.reports, recorded.outputReports);
    EXPECT_EQ(exchange(read(again)), exchange(recorded));
}

TEST_F(RecordingReplayTest, BrokenRecordingsAreRefusedBeforeAnythingRuns)
{
    const PathCase c = hjzPath();
    const QString recording = scratch.filePath(QStringLiteral("live.jsonl"));
    ASSERT_TRUE(record(c, recording).success);
    QFile f(recording);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray whole = f.readAll();
    const qsizetype middle = whole.indexOf("\"event\":\"output\"");
    ASSERT_GT(middle, 0);
    // The last answer made an answer to a report far past the last one sent.
    QByteArray inconsistent = whole;
    const qsizetype after = inconsistent.lastIndexOf("\"after\":") + 8;
    ASSERT_GT(after, 8);
    inconsistent.insert(after, "99999");
    struct Case
    {
        const char *name;
        QByteArray bytes;
        const char *says;
    };
    const Case cases[] = {
        {"truncated", whole.left(middle + 20), "truncated"},
        {"malformed", whole.left(middle) + "}}}\n" + whole.mid(middle), "not a JSON object"},
        {"unknown version", QByteArray(whole).replace("\"version\":1", "\"version\":7"), "version 7 is not supported"},
        {"inconsistent", inconsistent, "which was never sent"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        const QString path = file("broken.jsonl", k.bytes);
        LabReplayRun run({path, file("fw.bin", c.file), false, {}});
        QString error;
        EXPECT_FALSE(run.load(&error));
        EXPECT_TRUE(error.contains(QLatin1String(k.says))) << qPrintable(error);
    }
    LabReplayRun withoutFile({recording, {}, false, {}});
    QString error;
    EXPECT_FALSE(withoutFile.load(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("--file")));
}
