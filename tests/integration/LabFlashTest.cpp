// Catches: a lab flash that writes other bytes, falls back in progress, misses the new version, or hangs on a fault.
#include "models/FirmwareFileBuilder.h"
#include "models/FlashMemory.h"
#include "runs/LabFlashRun.h"

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

} // namespace

// The two ends of the bootloader families (the per-family variety is the sessions' own test): the
// flash holds the image (and the radio image), progress rises to 100, and the device comes back in
// normal mode with the new version.
TEST(LabFlash, FlashHoldsTheImagesAndTheDeviceReturnsWithTheNewVersion)
{
    for (const bool classic : {true, false}) {
        SCOPED_TRACE(classic ? "classic" : "receiver with radio");
        QTemporaryDir dir;
        QByteArray main = patternBytes(5000, 0x3103);
        const QByteArray radio = patternBytes(900, 99);
        const uint32_t address = classic ? 0x08004000 : 0x08020000;
        LabFlashOptions o;
        if (classic) {
            o.file = writeTempFile(dir, classicFile(10'000, &main));
        } else {
            // Boot type 21: a first record to skip, the radio image found by pid 1.
            o.bootloader = LabBootloader::SecondGen;
            o.reportedPid = 0x3103;
            o.file = writeTempFile(dir, buildVela2File({{1, 0, 0x08000000, 0x7777, patternBytes(64)},
                                                        {617, 0, address, 0x3103, main},
                                                        {700, 0, 0x00020000, 1, radio}}));
        }
        LabFlashRun run(o);
        std::vector<int> progress;
        run.onEvent = [&](const QJsonObject &e) {
            if (e.value(QStringLiteral("event")).toString() == QLatin1String("SHIDBootStartUpdateing"))
                progress.push_back(e.value(QStringLiteral("progress")).toInt());
        };
        const FlashRunResult r = run.run();
        ASSERT_TRUE(r.success) << qPrintable(r.message);
        EXPECT_EQ(run.flash().read(address, static_cast<uint32_t>(main.size())), main);
        if (classic) {
            EXPECT_EQ(r.reportsOut, 313 + 4) << "10,000 bytes in 313 pieces plus query, info, header and finish";
            EXPECT_EQ(run.flash().regions().size(), 1u) << "nothing but the image written";
        } else {
            EXPECT_EQ(run.flash().read(0x80020000, static_cast<uint32_t>(radio.size())), radio);
        }
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.back(), 100);
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        EXPECT_EQ(run.normalModeVersion(), 617) << "back on the bus in normal mode with the new version";
    }
}

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

// Every fault ends the flash as a failure that names the step it stalled in, never a hang.
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
        FaultCase{"data send fails", kClassic, &LabFlashOptions::failSend, 5, "a data report could not be sent"},
        FaultCase{"pid unanswered", kSecondGen, kDrop, 1, "stalled: waiting for the product ID read reply"},
        FaultCase{"erase unanswered", kSecondGen, kDrop, 4, "stalled: waiting for the erase reply"},
        FaultCase{"chunk unanswered", kSecondGen, kDrop, 20,
                  "stalled: waiting for the chunk write reply (644 of 2000 image bytes written)"},
        FaultCase{"unplug mid image", kSecondGen, &LabFlashOptions::unplugAfter, 30,
                  "stalled: waiting for the chunk write reply (1150 of 2000 image bytes written)"},
        FaultCase{"corrupted chunk", kSecondGen, &LabFlashOptions::corruptWrite, 12,
                  "CRC Error: \n crc : 7572 file_crc: 929 "}),
    [](const auto &row) { return testName(row.param.what); });
