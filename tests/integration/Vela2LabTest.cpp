#include "models/FirmwareFileBuilder.h"
#include "models/FlashMemory.h"
#include "runs/LabFlashRun.h"

#include <QFile>
#include <QTemporaryDir>

#include <ostream>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace flashwell::lab;

namespace {

struct BootloaderCase
{
    const char *what;
    uint16_t reportedPid;
    uint32_t imageAddress; // where the header says the image goes
    uint32_t flashBase;    // where the bootloader's plan puts it
    int radioSize;
};

// Test names and failure messages show the case, not its bytes.
inline void PrintTo(const BootloaderCase &c, std::ostream *os)
{
    *os << c.what;
}

class Vela2LabTest : public ::testing::TestWithParam<BootloaderCase>
{
protected:
    QString write(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("fw.bin"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir;
};

} // namespace

// A whole update per boot-type family: the flash holds the image (and the radio image), and the
// controller comes back in normal mode with the new version.
TEST_P(Vela2LabTest, FlashHoldsTheImagesAndTheControllerReturnsWithTheNewVersion)
{
    const BootloaderCase &c = GetParam();
    const QByteArray main = patternBytes(5000, c.reportedPid);
    const QByteArray radio = patternBytes(c.radioSize, 99);
    std::vector<Vela2Record> records{{617, 0, c.imageAddress, c.reportedPid, main}};
    if (c.reportedPid == 0x3103) // boot type 21: a first record to skip, the radio found by pid 1
        records.insert(records.begin(), Vela2Record{1, 0, 0x08000000, 0x7777, patternBytes(64)});
    if (c.radioSize > 0)
        records.emplace_back(700, 0, 0x00020000, c.reportedPid == 0x3103 ? 1u : 0u, radio);

    LabFlashOptions o;
    o.bootloader = LabBootloader::SecondGen;
    o.reportedPid = c.reportedPid;
    o.file = write(buildVela2File(records));
    LabFlashRun run(o);
    const FlashRunResult r = run.run();
    ASSERT_TRUE(r.success) << c.what << ": " << qPrintable(r.message);

    QByteArray flashed = run.flash().read(c.flashBase, 5000);
    if (c.flashBase == 0x08014000) // the fixed plan keeps the version word inside the image area
        flashed.replace(0x34, 4, main.mid(0x34, 4));
    EXPECT_EQ(flashed, main) << c.what;
    if (c.radioSize > 0) {
        EXPECT_EQ(run.flash().read(0x80020000, c.radioSize), radio) << c.what;
    }
    EXPECT_EQ(run.normalModeVersion(), 617) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Families, Vela2LabTest,
    ::testing::Values(BootloaderCase{"checksummed", 0x9020, 0x01018000, 0x01018000, 0},
                      BootloaderCase{"checksummed with verification", 0x9026, 0x01018000, 0x01018000, 0},
                      BootloaderCase{"fixed addresses", 0x3016, 0x08014000, 0x08014000, 0},
                      BootloaderCase{"info addressed", 0x3105, 0x08020000, 0x08020000, 0},
                      BootloaderCase{"info addressed with radio", 0x9029, 0x08020000, 0x08020000, 700},
                      BootloaderCase{"receiver with radio", 0x3103, 0x08020000, 0x08020000, 900}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

struct Vela2Fault
{
    const char *what;
    std::optional<int> LabFlashOptions::*field;
    int n;
    const char *message;
};

inline void PrintTo(const Vela2Fault &c, std::ostream *os)
{
    *os << c.what;
}

class Vela2LabFaults : public ::testing::TestWithParam<Vela2Fault>
{
};

// Requests: 1 PID, 2 version, 3 boot serial, 4 erase, 5 version-area erase, 6.. chunks.
TEST_P(Vela2LabFaults, EveryFaultEndsTheUpdateAsAFailure)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fw.bin"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(buildVela2File({{300, 0, 0x01018000, 0x9025, patternBytes(2000)}}));
    f.close();
    LabFlashOptions o;
    o.bootloader = LabBootloader::SecondGen;
    o.reportedPid = 0x9025;
    o.file = path;
    o.*(GetParam().field) = GetParam().n;
    LabFlashRun run(o);
    const FlashRunResult r = run.run();
    EXPECT_FALSE(r.success);
    EXPECT_TRUE(r.message.startsWith(QString::fromLatin1(GetParam().message))) << qPrintable(r.message);
    EXPECT_LT(r.virtualMs, 30'000);
}

INSTANTIATE_TEST_SUITE_P(
    Phases, Vela2LabFaults,
    ::testing::Values(
        Vela2Fault{"pid unanswered", &LabFlashOptions::dropReply, 1, "stalled: waiting for the product ID read reply"},
        Vela2Fault{"erase unanswered", &LabFlashOptions::dropReply, 4, "stalled: waiting for the erase reply"},
        Vela2Fault{"chunk unanswered", &LabFlashOptions::dropReply, 20,
                   "stalled: waiting for the chunk write reply (644 of 2000 image bytes written)"},
        Vela2Fault{"unplug mid image", &LabFlashOptions::unplugAfter, 30,
                   "stalled: waiting for the chunk write reply (1150 of 2000 image bytes written)"},
        Vela2Fault{"corrupted chunk", &LabFlashOptions::corruptWrite, 12, "CRC Error"},
        Vela2Fault{"send fails", &LabFlashOptions::failSend, 8,
                   "stalled: waiting for the chunk write reply (92 of 2000 image bytes written)"}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });
