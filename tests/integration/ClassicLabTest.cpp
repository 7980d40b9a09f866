#include "models/FirmwareFileBuilder.h"
#include "models/VirtualClassicBootloader.h"
#include "runs/LabFlashRun.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <ostream>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace flashwell::lab;

namespace {

class ClassicLabTest : public ::testing::Test
{
protected:
    QString firmware(int size, const char *name = "fw.bin")
    {
        ClassicFirmware fw;
        fw.version = 210;
        fw.address = 0x08004000;
        fw.data = patternBytes(size, 7);
        data = fw.data;
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(fw.build());
        return path;
    }

    QTemporaryDir dir;
    QByteArray data;
};

} // namespace

TEST_F(ClassicLabTest, FlashHoldsTheFileAndTheDeviceReturnsWithTheNewVersion)
{
    for (uint16_t pid : {uint16_t{0x5750}, uint16_t{0x3206}}) {
        LabFlashOptions o;
        o.file = firmware(10'000);
        o.pid = pid;
        LabFlashRun run(o);
        std::vector<int> progress;
        run.onEvent = [&](const QJsonObject &e) {
            if (e.value(QStringLiteral("event")).toString() == QLatin1String("SHIDBootStartUpdateing"))
                progress.push_back(e.value(QStringLiteral("progress")).toInt());
        };
        const FlashRunResult r = run.run();
        ASSERT_TRUE(r.success) << qPrintable(r.message);
        const auto regions = run.flash().regions();
        ASSERT_EQ(regions.size(), 1u);
        EXPECT_EQ(regions[0].address, 0x08004000u);
        EXPECT_EQ(regions[0].data, data);
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.back(), 100);
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        // 10,000 bytes in 313 pieces plus query, info request, header and finish.
        EXPECT_EQ(r.reportsOut, 313 + 4);
        EXPECT_EQ(run.normalModeVersion(), 210) << "back on the bus in normal mode with the new version";
    }
}

TEST_F(ClassicLabTest, ReceiverSettingsAppearInTheDump)
{
    LabFlashOptions o;
    o.file = firmware(64);
    o.receiverSettings = true;
    LabFlashRun run(o);
    ASSERT_TRUE(run.run().success);
    const QJsonArray regions = run.flashDump().value(QStringLiteral("regions")).toArray();
    ASSERT_EQ(regions.size(), 2);
    EXPECT_EQ(regions[0].toObject().value(QStringLiteral("address")).toInteger(), 0x08003000);
    EXPECT_EQ(regions[0].toObject().value(QStringLiteral("data")).toString().size(), 80);
    EXPECT_EQ(regions[1].toObject().value(QStringLiteral("address")).toInteger(), 0x08004000);
}

struct FaultRun
{
    const char *what;
    LabFlashOptions options;
    const char *message;
};

// Test names and failure messages show the case, not its bytes.
inline void PrintTo(const FaultRun &c, std::ostream *os)
{
    *os << c.what;
}

class ClassicLabFaults : public ClassicLabTest, public ::testing::WithParamInterface<FaultRun>
{
};

// Every fault ends the update as a failure (an error callback or the watchdog), never a hang.
TEST_P(ClassicLabFaults, EndsInAFailureNeverAHang)
{
    LabFlashOptions o = GetParam().options;
    o.file = firmware(256);
    LabFlashRun run(o);
    const FlashRunResult r = run.run();
    EXPECT_FALSE(r.success) << GetParam().what;
    EXPECT_EQ(r.message, QString::fromLatin1(GetParam().message)) << GetParam().what;
    EXPECT_LT(r.virtualMs, 30'000);
}

namespace {
LabFlashOptions with(std::optional<int> LabFlashOptions::*field, int n, bool settings = false)
{
    LabFlashOptions o;
    o.*field = n;
    o.receiverSettings = settings;
    return o;
}
} // namespace

// Requests: 1 version query, 2 info request, 3 header, 4..11 data, then the finish command, or
// with the settings step first the settings reads (12, 13).
INSTANTIATE_TEST_SUITE_P(
    Phases, ClassicLabFaults,
    ::testing::Values(
        FaultRun{"no version reply", with(&LabFlashOptions::dropReply, 1), "stalled: waiting for the version reply"},
        FaultRun{"no info frame", with(&LabFlashOptions::dropReply, 2), "stalled: waiting for the device info frame"},
        FaultRun{"header unanswered", with(&LabFlashOptions::dropReply, 3),
                 "stalled: waiting for the header's acknowledgement"},
        FaultRun{"data unanswered", with(&LabFlashOptions::dropReply, 7),
                 "stalled: waiting for a data acknowledgement (128 of 256 bytes sent)"},
        FaultRun{"settings read unanswered", with(&LabFlashOptions::dropReply, 12, true),
                 "receiver settings read incomplete: 0 of 40 bytes after one second"},
        FaultRun{"unplug before header", with(&LabFlashOptions::unplugAfter, 2),
                 "stalled: waiting for the header's acknowledgement"},
        FaultRun{"unplug mid data", with(&LabFlashOptions::unplugAfter, 6),
                 "stalled: waiting for a data acknowledgement (128 of 256 bytes sent)"},
        FaultRun{"query send fails", with(&LabFlashOptions::failSend, 1), "stalled: waiting for the version reply"},
        FaultRun{"data send fails", with(&LabFlashOptions::failSend, 5), "a data report could not be sent"}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

TEST_F(ClassicLabTest, CorruptedWriteIsVisibleInFlashSinceTheClassicProtocolDoesNotVerify)
{
    LabFlashOptions o;
    o.file = firmware(256);
    o.corruptWrite = 3;
    LabFlashRun run(o);
    ASSERT_TRUE(run.run().success);
    const QByteArray flash = run.flash().read(0x08004000, 256);
    int differing = 0;
    for (int i = 0; i < 256; ++i)
        differing += flash[i] != data[i] ? 1 : 0;
    EXPECT_EQ(differing, 1);
    EXPECT_NE(flash[64 + 16], data[64 + 16]);
}

#ifdef FLASHWELL_LAB_PATH
// The command-line contract of flashwell-lab flash.
TEST_F(ClassicLabTest, CommandLinePrintsEventsResultAndExitStatus)
{
    const QString path = firmware(100);
    const QString dump = dir.filePath(QStringLiteral("dump.json"));
    QProcess lab;
    lab.start(QStringLiteral(FLASHWELL_LAB_PATH),
              {QStringLiteral("flash"), QStringLiteral("--bootloader"), QStringLiteral("classic"),
               QStringLiteral("--file"), path, QStringLiteral("--dump-flash"), dump});
    ASSERT_TRUE(lab.waitForFinished(30'000));
    EXPECT_EQ(lab.exitCode(), 0);
    const QList<QByteArray> lines = lab.readAllStandardOutput().trimmed().split('\n');
    ASSERT_GE(lines.size(), 2);
    const QJsonObject first = QJsonDocument::fromJson(lines.front()).object();
    EXPECT_EQ(first.value(QStringLiteral("event")).toString(), QStringLiteral("SHIDBootAddDevice"));
    const QJsonObject last = QJsonDocument::fromJson(lines.back()).object();
    EXPECT_EQ(last.value(QStringLiteral("result")).toString(), QStringLiteral("success"));
    EXPECT_EQ(last.value(QStringLiteral("reports_out")).toInt(), 4 + 4);
    QFile dumpFile(dump);
    ASSERT_TRUE(dumpFile.open(QIODevice::ReadOnly));
    const QJsonArray regions =
        QJsonDocument::fromJson(dumpFile.readAll()).object().value(QStringLiteral("regions")).toArray();
    ASSERT_EQ(regions.size(), 1);
    EXPECT_EQ(regions[0].toObject().value(QStringLiteral("data")).toString(), QString::fromLatin1(data.toHex()));

    lab.start(QStringLiteral(FLASHWELL_LAB_PATH),
              {QStringLiteral("flash"), QStringLiteral("--bootloader"), QStringLiteral("classic"),
               QStringLiteral("--file"), path, QStringLiteral("--fault"), QStringLiteral("drop-reply:3")});
    ASSERT_TRUE(lab.waitForFinished(30'000));
    EXPECT_EQ(lab.exitCode(), 1);
    EXPECT_TRUE(
        lab.readAllStandardOutput().contains("\"message\":\"stalled: waiting for the header's acknowledgement\""));

    for (const QStringList &bad :
         {QStringList{QStringLiteral("flash")},
          QStringList{QStringLiteral("flash"), QStringLiteral("--bootloader"), QStringLiteral("classic"),
                      QStringLiteral("--file"), dir.filePath(QStringLiteral("missing"))},
          QStringList{QStringLiteral("flash"), QStringLiteral("--bootloader"), QStringLiteral("classic"),
                      QStringLiteral("--file"), path, QStringLiteral("--fault"), QStringLiteral("melt:1")},
          // A count past an int's range is refused, not wrapped to a negative one.
          QStringList{QStringLiteral("flash"), QStringLiteral("--bootloader"), QStringLiteral("classic"),
                      QStringLiteral("--file"), path, QStringLiteral("--fault"),
                      QStringLiteral("drop-reply:4294967295")}}) {
        lab.start(QStringLiteral(FLASHWELL_LAB_PATH), bad);
        ASSERT_TRUE(lab.waitForFinished(30'000));
        EXPECT_EQ(lab.exitCode(), 2) << qPrintable(bad.join(u' '));
        EXPECT_FALSE(lab.readAllStandardError().isEmpty());
    }
}
#endif
