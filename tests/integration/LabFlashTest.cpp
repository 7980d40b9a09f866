// Catches: a session that flashes other bytes, falls back in progress, misses the new version, or hangs on a fault.
#include "models/FirmwareFileBuilder.h"
#include "models/FlashMemory.h"
#include "runs/LabFlashRun.h"

#include <QJsonArray>
#include <QTemporaryDir>

#include <ostream>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace flashwell::lab;
using flashwell::test::testName;
using flashwell::test::writeTempFile;

namespace {

// A classic file of `size` bytes for 0x08004000; its image in `image`.
QByteArray classicFile(int size, QByteArray *image = nullptr)
{
    ClassicFirmware fw;
    fw.version = 617;
    fw.address = 0x08004000;
    fw.data = patternBytes(size, 7);
    if (image)
        *image = fw.data;
    return fw.build();
}

// One bootloader family: the product ID it is reached by (classic: its USB one; second generation:
// the one it reports), where the image goes, the radio image's size, and (classic) the reports it takes.
struct FamilyCase
{
    const char *what;
    LabBootloader bootloader;
    uint16_t pid;
    uint32_t imageAddress;
    int radioSize;
    int reportsOut;
};

// Test names and failure messages show the case, not its bytes.
[[maybe_unused]] void PrintTo(const FamilyCase &c, std::ostream *os)
{
    *os << c.what;
}

class LabFlashFamilies : public ::testing::TestWithParam<FamilyCase>
{
protected:
    QTemporaryDir dir;
};

} // namespace

// A whole update per bootloader family: the flash holds the image (and the radio image), progress
// rises to 100, and the device comes back in normal mode with the new version.
TEST_P(LabFlashFamilies, FlashHoldsTheImagesAndTheDeviceReturnsWithTheNewVersion)
{
    const FamilyCase &c = GetParam();
    QByteArray main;
    const QByteArray radio = patternBytes(c.radioSize, 99);
    LabFlashOptions o;
    o.bootloader = c.bootloader;
    if (c.bootloader == LabBootloader::Classic) {
        o.pid = c.pid;
        o.file = writeTempFile(dir, classicFile(10'000, &main));
    } else {
        main = patternBytes(5000, c.pid);
        std::vector<Vela2Record> records{{617, 0, c.imageAddress, c.pid, main}};
        if (c.pid == 0x3103) // boot type 21: a first record to skip, the radio found by pid 1
            records.insert(records.begin(), Vela2Record{1, 0, 0x08000000, 0x7777, patternBytes(64)});
        if (c.radioSize > 0)
            records.emplace_back(700, 0, 0x00020000, c.pid == 0x3103 ? 1u : 0u, radio);
        o.reportedPid = c.pid;
        o.file = writeTempFile(dir, buildVela2File(records));
    }
    LabFlashRun run(o);
    std::vector<int> progress;
    run.onEvent = [&](const QJsonObject &e) {
        if (e.value(QStringLiteral("event")).toString() == QLatin1String("SHIDBootStartUpdateing"))
            progress.push_back(e.value(QStringLiteral("progress")).toInt());
    };
    const FlashRunResult r = run.run();
    ASSERT_TRUE(r.success) << qPrintable(r.message);

    QByteArray flashed = run.flash().read(c.imageAddress, static_cast<uint32_t>(main.size()));
    if (c.imageAddress == 0x08014000) // the fixed plan keeps the version word inside the image area
        flashed.replace(0x34, 4, main.mid(0x34, 4));
    EXPECT_EQ(flashed, main);
    if (c.radioSize > 0) {
        EXPECT_EQ(run.flash().read(0x80020000, c.radioSize), radio);
    }
    if (c.reportsOut > 0) {
        EXPECT_EQ(r.reportsOut, c.reportsOut);
        EXPECT_EQ(run.flash().regions().size(), 1u) << "nothing but the image written";
    }
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(run.normalModeVersion(), 617) << "back on the bus in normal mode with the new version";
}

// Classic: 10,000 bytes in 313 pieces plus query, info request, header and finish.
INSTANTIATE_TEST_SUITE_P(
    Families, LabFlashFamilies,
    ::testing::Values(FamilyCase{"classic", LabBootloader::Classic, 0x5750, 0x08004000, 0, 313 + 4},
                      FamilyCase{"classic receiver", LabBootloader::Classic, 0x3206, 0x08004000, 0, 313 + 4},
                      FamilyCase{"checksummed", LabBootloader::SecondGen, 0x9020, 0x01018000, 0, 0},
                      FamilyCase{"checksummed with verification", LabBootloader::SecondGen, 0x9026, 0x01018000, 0, 0},
                      FamilyCase{"fixed addresses", LabBootloader::SecondGen, 0x3016, 0x08014000, 0, 0},
                      FamilyCase{"info addressed", LabBootloader::SecondGen, 0x3105, 0x08020000, 0, 0},
                      FamilyCase{"info addressed with radio", LabBootloader::SecondGen, 0x9029, 0x08020000, 700, 0},
                      FamilyCase{"receiver with radio", LabBootloader::SecondGen, 0x3103, 0x08020000, 900, 0}),
    [](const auto &row) { return testName(row.param.what); });

namespace {

struct FaultCase
{
    const char *what;
    LabBootloader bootloader;
    std::optional<int> LabFlashOptions::*field;
    int n;
    const char *message;
    bool receiverSettings = false;
};

[[maybe_unused]] void PrintTo(const FaultCase &c, std::ostream *os)
{
    *os << c.what;
}

class LabFlashFaults : public ::testing::TestWithParam<FaultCase>
{
};

} // namespace

// Every fault ends the update as a failure (an error callback or the watchdog), never a hang.
TEST_P(LabFlashFaults, EndInAFailureWithTheirMessageNeverAHang)
{
    const FaultCase &c = GetParam();
    QTemporaryDir dir;
    LabFlashOptions o;
    o.bootloader = c.bootloader;
    if (c.bootloader == LabBootloader::Classic) {
        o.file = writeTempFile(dir, classicFile(256));
    } else {
        o.reportedPid = 0x9025;
        o.file = writeTempFile(dir, buildVela2File({{300, 0, 0x01018000, 0x9025, patternBytes(2000)}}));
    }
    o.*c.field = c.n;
    o.receiverSettings = c.receiverSettings;
    LabFlashRun run(o);
    const FlashRunResult r = run.run();
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.message, QString::fromLatin1(c.message));
    EXPECT_LT(r.virtualMs, 30'000);
}

// Classic requests: 1 version query, 2 info request, 3 header, 4..11 data, then the finish command,
// or with the settings step first the settings reads (12, 13). Second generation: 1 PID, 2 version,
// 3 boot serial, 4 erase, 5 version-area erase, 6.. chunks.
constexpr auto kClassic = LabBootloader::Classic;
constexpr auto kSecondGen = LabBootloader::SecondGen;
constexpr auto kDrop = &LabFlashOptions::dropReply;
constexpr auto kUnplug = &LabFlashOptions::unplugAfter;
constexpr auto kFailSend = &LabFlashOptions::failSend;
INSTANTIATE_TEST_SUITE_P(
    Phases, LabFlashFaults,
    ::testing::Values(
        FaultCase{"no version reply", kClassic, kDrop, 1, "stalled: waiting for the version reply"},
        FaultCase{"no info frame", kClassic, kDrop, 2, "stalled: waiting for the device info frame"},
        FaultCase{"header unanswered", kClassic, kDrop, 3, "stalled: waiting for the header's acknowledgement"},
        FaultCase{"data unanswered", kClassic, kDrop, 7,
                  "stalled: waiting for a data acknowledgement (128 of 256 bytes sent)"},
        FaultCase{"settings read unanswered", kClassic, kDrop, 12,
                  "receiver settings read incomplete: 0 of 40 bytes after one second", true},
        FaultCase{"unplug before header", kClassic, kUnplug, 2, "stalled: waiting for the header's acknowledgement"},
        FaultCase{"unplug mid data", kClassic, kUnplug, 6,
                  "stalled: waiting for a data acknowledgement (128 of 256 bytes sent)"},
        FaultCase{"query send fails", kClassic, kFailSend, 1, "stalled: waiting for the version reply"},
        FaultCase{"data send fails", kClassic, kFailSend, 5, "a data report could not be sent"},
        FaultCase{"pid unanswered", kSecondGen, kDrop, 1, "stalled: waiting for the product ID read reply"},
        FaultCase{"erase unanswered", kSecondGen, kDrop, 4, "stalled: waiting for the erase reply"},
        FaultCase{"chunk unanswered", kSecondGen, kDrop, 20,
                  "stalled: waiting for the chunk write reply (644 of 2000 image bytes written)"},
        FaultCase{"unplug mid image", kSecondGen, kUnplug, 30,
                  "stalled: waiting for the chunk write reply (1150 of 2000 image bytes written)"},
        FaultCase{"corrupted chunk", kSecondGen, &LabFlashOptions::corruptWrite, 12,
                  "CRC Error: \n crc : 7572 file_crc: 929 "},
        FaultCase{"second generation send fails", kSecondGen, kFailSend, 8,
                  "stalled: waiting for the chunk write reply (92 of 2000 image bytes written)"}),
    [](const auto &row) { return testName(row.param.what); });

TEST(LabFlash, ReceiverSettingsAppearInTheDump)
{
    QTemporaryDir dir;
    LabFlashOptions o;
    o.file = writeTempFile(dir, classicFile(64));
    o.receiverSettings = true;
    LabFlashRun run(o);
    ASSERT_TRUE(run.run().success);
    const QJsonArray regions = run.flashDump().value(QStringLiteral("regions")).toArray();
    ASSERT_EQ(regions.size(), 2);
    EXPECT_EQ(regions[0].toObject().value(QStringLiteral("address")).toInteger(), 0x08003000);
    EXPECT_EQ(regions[0].toObject().value(QStringLiteral("data")).toString().size(), 80);
    EXPECT_EQ(regions[1].toObject().value(QStringLiteral("address")).toInteger(), 0x08004000);
}

TEST(LabFlash, CorruptedWriteIsVisibleInFlashSinceTheClassicProtocolDoesNotVerify)
{
    QTemporaryDir dir;
    QByteArray data;
    LabFlashOptions o;
    o.file = writeTempFile(dir, classicFile(256, &data));
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
