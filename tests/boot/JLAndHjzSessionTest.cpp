#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "models/FirmwareFileBuilder.h"
#include "models/FlashMemory.h"
#include "models/VirtualHjzBootloader.h"
#include "models/VirtualVela2Bootloader.h"
#include "platform/Bytes.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"
#include "rigs/SessionRig.h"
#include "runs/LabFlashRun.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/BootRecorder.h"
#include "support/TestSupport.h"

using namespace flashwell;
using namespace flashwell::lab;
using flashwell::test::BootRecorder;
using flashwell::test::hex;

namespace {

QString writeFile(QTemporaryDir &dir, const QByteArray &bytes)
{
    return flashwell::test::writeTempFile(dir, bytes);
}

class JLTest : public ::testing::Test, protected lab::SessionRig<SHIDBootVela2>
{
protected:
    JLTest() { attach(&recorder); }
    void run(VirtualVela2Bootloader &device, const QByteArray &file)
    {
        device.plug();
        clock.runPending();
        session.filePath = writeFile(dir, file);
        session.readPID();
        clock.advance(60'000);
    }
    std::vector<std::pair<uint32_t, uint32_t>> requests(uint16_t command) const
    {
        std::vector<std::pair<uint32_t, uint32_t>> out; // (address, total length)
        for (const auto &r : bus.outputLog())
            if (wire::le16(r.bytes, 1) == command)
                out.emplace_back(wire::le32(r.bytes, 13), wire::le32(r.bytes, 9));
        return out;
    }

    QTemporaryDir dir;
    BootRecorder recorder;
};

} // namespace

TEST_F(JLTest, ZoneUnitsAndWritesFollowTheApplicationZone)
{
    VirtualVela2Bootloader device(bus, 0x3012);
    device.appZone = 0x1000;
    device.eraseUnit = 4096;
    const QByteArray image = patternBytes(10'000, 5);
    run(device, buildVela2File({{300, 0, 0, 0x3012, image}}));
    ASSERT_TRUE(recorder.has("done")) << qPrintable(recorder.lastError);

    EXPECT_EQ(session.appZoneAddr, 0x1000u);
    EXPECT_EQ(session.mainLength(), 5904u);
    EXPECT_EQ(requests(vela2::kErase), (std::vector<std::pair<uint32_t, uint32_t>>{{0, 4096}, {4096, 4096}}));
    const auto writes = requests(vela2::kWriteChunk);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.front(), (std::pair<uint32_t, uint32_t>{0, 5904}));
    // The first chunk carries file byte 28 + 4096, i.e. image byte 0x1000.
    const auto &first = *std::find_if(bus.outputLog().begin(), bus.outputLog().end(),
                                      [](const auto &r) { return wire::le16(r.bytes, 1) == vela2::kWriteChunk; });
    EXPECT_EQ(byteArrayOf(std::span(first.bytes).subspan(17, 46)), image.mid(0x1000, 46));
    EXPECT_EQ(device.flash().read(0, 5904), image.mid(0x1000));
    // Every JL request is checksummed, and the update ends with 0xC2, the head CRC and the reset.
    EXPECT_EQ(device.rejectedChecksums(), 0);
    const auto &log = bus.outputLog();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(wire::le16(log[log.size() - 3].bytes, 1), vela2::kJlSaveHead);
    EXPECT_EQ(wire::le16(log[log.size() - 2].bytes, 1), vela2::kFlashCrc);
    EXPECT_EQ(wire::le32(log[log.size() - 2].bytes, 21), 4096u);
    EXPECT_EQ(wire::le16(log.back().bytes, 1), vela2::kReset);
}

TEST_F(JLTest, EraseUnitZeroErasesOnceAtZero)
{
    VirtualVela2Bootloader device(bus, 0x6008);
    device.appZone = 0x100;
    device.eraseUnit = 0;
    run(device, buildVela2File({{300, 0, 0, 0x6008, patternBytes(1000)}}));
    EXPECT_EQ(requests(vela2::kErase), (std::vector<std::pair<uint32_t, uint32_t>>{{0, 0}}));
    EXPECT_TRUE(recorder.has("done"));
}

TEST_F(JLTest, SubTypeInTheHeaderPassesTheCheckButNotTheFullPidComparison)
{
    VirtualVela2Bootloader device(bus, 0x3012);
    run(device, buildVela2File({{300, 0, 0, 0x00013012, patternBytes(8000)}}));
    EXPECT_EQ(recorder.events.back(), "error");
    EXPECT_EQ(recorder.lastError, QStringLiteral("Firmware Error: \n pid : 3012 m_firmwareHeader.pid: 13012 "));
    EXPECT_TRUE(requests(vela2::kErase).empty());
}

TEST_F(JLTest, CorruptedHeadFailsTheHeadCrcWithoutAReset)
{
    VirtualVela2Bootloader device(bus, 0x3013);
    device.faults.corruptWriteAt = 3;
    run(device, buildVela2File({{300, 0, 0, 0x3013, patternBytes(9000)}}));
    EXPECT_EQ(recorder.events.back(), "error");
    EXPECT_TRUE(recorder.lastError.startsWith(QStringLiteral("CRC Error: \n crc : ")));
    EXPECT_NE(wire::le16(bus.outputLog().back().bytes, 1), vela2::kReset);
}

TEST_F(JLTest, ZonePastTheImageIsRefused)
{
    VirtualVela2Bootloader device(bus, 0x3012);
    device.appZone = 0x4000;
    run(device, buildVela2File({{300, 0, 0, 0x3012, patternBytes(1000)}}));
    EXPECT_EQ(recorder.events.back(), "error");
    EXPECT_TRUE(requests(vela2::kErase).empty());
}

namespace {

class HjzRecorder final : public QObject, public SHIDBootHJZDelegate
{
public:
    void SHIDBootHJZUpdate(SHIDBootHJZ *, const SFenwykDevicePtr &d) override { arrived = d; }
    void SHIDBootHJZUpdateing(SHIDBootHJZ *, int32_t p) override { progress.push_back(p); }
    void SHIDBootHJZUpdateSuccess(SHIDBootHJZ *) override { ++successes; }
    void SHIDBootHJZUpdateFail(SHIDBootHJZ *, const QString &msg) override { failures.push_back(msg); }
    SFenwykDevicePtr arrived;
    std::vector<int32_t> progress;
    int successes = 0;
    std::vector<QString> failures;
};

class HjzTest : public ::testing::Test, protected lab::SessionRig<SHIDBootHJZ>
{
protected:
    HjzTest() { attach(&recorder); }
    void run(VirtualHjzBootloader &device, const QByteArray &file)
    {
        device.plug();
        clock.runPending();
        ASSERT_TRUE(recorder.arrived);
        session.filePath = writeFile(dir, file);
        session.startUpdate();
        clock.advance(60'000);
    }
    // (command, address) of every command packet, in order.
    std::vector<std::pair<uint8_t, uint32_t>> commands() const
    {
        std::vector<std::pair<uint8_t, uint32_t>> out;
        for (const auto &r : bus.outputLog())
            if (r.bytes[0] == 0xA5 && r.bytes[2] == 0x5A)
                out.emplace_back(r.bytes[1], wire::le32(r.bytes, 4));
        return out;
    }

    QTemporaryDir dir;
    HjzRecorder recorder;
};

QByteArray hjzFile(uint32_t deviceId, uint32_t pageSize, int pages)
{
    HjzFirmware f;
    f.deviceId = deviceId;
    f.pageSize = pageSize;
    f.data = patternBytes(static_cast<int>(pageSize) * pages, 11);
    return f.build();
}

} // namespace

TEST_F(HjzTest, PagesGoFirstPageThenTheRestThenTheFirstPageAgain)
{
    VirtualHjzBootloader device(bus);
    const QByteArray file = hjzFile(387, 1024, 64);
    session.readVersion();
    EXPECT_TRUE(bus.outputLog().empty()) << "readVersion sends nothing";
    run(device, file);
    ASSERT_EQ(recorder.successes, 1) << (recorder.failures.empty() ? "" : qPrintable(recorder.failures.back()));

    const auto c = commands();
    const auto page = [](uint32_t p) { return 0x08003400u + 1024u * p; };
    ASSERT_GE(c.size(), 4u);
    EXPECT_EQ(c[0], (std::pair<uint8_t, uint32_t>{0xE3, hjz::negatedAddress(page(1))}));
    EXPECT_EQ(hex(bus.outputLog()[0].bytes, 8), "a5 e3 5a 1c 00 c8 00 f8");
    // The 16 packets of page 1 (file offset 320 + 1024) follow the erase as they are.
    EXPECT_EQ(byteArrayOf(bus.outputLog()[1].bytes), file.mid(320 + 1024, 64));
    std::vector<uint32_t> erased;
    for (const auto &[command, address] : c)
        if (command == 0xE3)
            erased.push_back(address);
    std::vector<uint32_t> expected{hjz::negatedAddress(page(1)), page(0)};
    for (uint32_t p = 2; p < 64; ++p)
        expected.push_back(page(p));
    expected.push_back(page(1));
    EXPECT_EQ(erased, expected);
    // Each page after the start: erase, 16 packets, 0xE4, 0xE5.
    EXPECT_EQ(bus.outputLog().size(), 17u + 64u * 19u);
    EXPECT_EQ(device.flash().read(0x08003400, 65536), file.mid(320));
}

TEST_F(HjzTest, Device386UsesItsOwnGeometry)
{
    VirtualHjzBootloader device(bus, 0, 512, 8);
    const QByteArray file = hjzFile(386, 512, 20);
    run(device, file);
    ASSERT_EQ(recorder.successes, 1) << (recorder.failures.empty() ? "" : qPrintable(recorder.failures.back()));
    EXPECT_EQ(commands().front().second, hjz::negatedAddress(16 * 512));
    EXPECT_EQ(device.flash().read(0, 20 * 512), file.mid(64 + 80));
}

// 0 before the first erase, then one step per verified page; the first page, verified last, makes 100.
TEST_F(HjzTest, ProgressCountsVerifiedPages)
{
    VirtualHjzBootloader device(bus);
    run(device, hjzFile(387, 1024, 8));
    ASSERT_EQ(recorder.successes, 1);
    EXPECT_EQ(recorder.progress, (std::vector<int32_t>{0, 12, 25, 37, 50, 62, 75, 87, 100}));

    // The next update counts from its own pages.
    recorder.progress.clear();
    session.startUpdate();
    clock.advance(60'000);
    ASSERT_EQ(recorder.successes, 2);
    EXPECT_EQ(recorder.progress.front(), 0);
    EXPECT_EQ(recorder.progress.back(), 100);
    EXPECT_EQ(recorder.progress.size(), 9u);
}

TEST_F(HjzTest, ChecksumMismatchIsAFailure)
{
    VirtualHjzBootloader device(bus);
    device.faults.corruptWriteAt = 20; // packets 1-16 are page 1, 17-32 page 0
    run(device, hjzFile(387, 1024, 8));
    EXPECT_EQ(recorder.progress, std::vector<int32_t>{0}) << "page 0, the first one verified, failed";
    EXPECT_EQ(recorder.successes, 0);
    ASSERT_EQ(recorder.failures.size(), 1u);
    EXPECT_TRUE(recorder.failures[0].startsWith(QStringLiteral("page 0 checksum"))) << qPrintable(recorder.failures[0]);
}

TEST_F(HjzTest, FailedDataSendIsAFailure)
{
    VirtualHjzBootloader device(bus);
    bus.injectFault({HidFault::Kind::FailSend, HidFault::Direction::HostToDevice, 20});
    run(device, hjzFile(387, 1024, 8));
    EXPECT_EQ(recorder.successes, 0);
    ASSERT_EQ(recorder.failures.size(), 1u);
    EXPECT_TRUE(recorder.failures[0].contains(QStringLiteral("could not be sent")));
}

TEST_F(HjzTest, BadFilesAreRefusedBeforeAnythingIsErased)
{
    HjzFirmware zeroPage;
    zeroPage.data = patternBytes(2048);
    zeroPage.pageSizeOverride = 0;
    HjzFirmware partial;
    partial.data = patternBytes(2048);
    partial.totalLengthOverride = 2000;
    HjzFirmware tooLong;
    tooLong.data = patternBytes(2048);
    tooLong.totalLengthOverride = 4096;
    for (const QByteArray &bad : {zeroPage.build(), partial.build(), tooLong.build(), QByteArray(10, 'x')}) {
        VirtualScheduler c;
        VirtualHidBus b(c);
        HjzRecorder r;
        SHIDBootHJZ s({&c, &b});
        s.addBootDelegate(&r);
        s.open();
        VirtualHjzBootloader device(b);
        device.plug();
        c.runPending();
        s.filePath = writeFile(dir, bad);
        s.startUpdate();
        c.advance(1000);
        EXPECT_EQ(r.failures.size(), 1u);
        EXPECT_TRUE(b.outputLog().empty());
    }
}

TEST(HjzLab, UpdateEndsThroughTheCompletionMethods)
{
    QTemporaryDir dir;
    LabFlashOptions o;
    o.bootloader = LabBootloader::Hjz;
    o.file = writeFile(dir, hjzFile(387, 1024, 16));
    LabFlashRun ok(o);
    EXPECT_TRUE(ok.run().success);
    EXPECT_EQ(ok.flash().read(0x08003400, 16 * 1024), patternBytes(16 * 1024, 11));

    o.dropReply = 10;
    LabFlashRun stalled(o);
    const FlashRunResult r = stalled.run();
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.message, QStringLiteral("stalled: page 3: waiting for the checksum reply"));
}
