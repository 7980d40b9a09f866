// Catches: an HJZ session with wrong page geometry or progress, success after a failure, an erase before refusing.
#include "boot/SHIDBootHJZ.h"
#include "models/FirmwareFileBuilder.h"
#include "models/FlashMemory.h"
#include "models/VirtualHjzBootloader.h"
#include "platform/Bytes.h"
#include "runs/LabFlashRun.h"

#include <gtest/gtest.h>

#include "support/BootSessionTest.h"

using namespace flashwell;
using namespace flashwell::lab;

namespace {

class HjzRecorder final : public QObject, public SHIDBootHJZDelegate
{
public:
    void SHIDBootHJZUpdate(SHIDBootHJZ *, const SFenwykDevicePtr &d) override { arrived = d; }
    void SHIDBootHJZUpdateing(SHIDBootHJZ *, int32_t p) override { progress.push_back(p); }
    void SHIDBootHJZUpdateSuccess(SHIDBootHJZ *) override { ++successes; }
    void SHIDBootHJZUpdateFail(SHIDBootHJZ *, const QString &msg) override { failures.push_back(msg); }
    QString lastFailure() const { return failures.empty() ? QString() : failures.back(); }
    SFenwykDevicePtr arrived;
    std::vector<int32_t> progress;
    int successes = 0;
    std::vector<QString> failures;
};

// The whole page order of device 387 (the first page, the rest, the first page again) is pinned
// by the HJZ recording.
class HjzTest : public test::BootSessionTest<SHIDBootHJZ, HjzRecorder>
{
protected:
    void run(VirtualHjzBootloader &device, const QByteArray &file, int64_t ms = 60'000)
    {
        device.plug();
        clock.runPending();
        ASSERT_TRUE(recorder.arrived);
        session.filePath = writeFile(file);
        session.startUpdate();
        clock.advance(ms);
    }
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

// 0 before the first erase, then one step per verified page; the first page, verified last, makes 100.
TEST_F(HjzTest, ProgressCountsVerifiedPages)
{
    VirtualHjzBootloader device(bus);
    session.readVersion();
    EXPECT_TRUE(bus.outputLog().empty()) << "readVersion sends nothing";
    run(device, hjzFile(387, 1024, 8));
    ASSERT_EQ(recorder.successes, 1) << qPrintable(recorder.lastFailure());
    EXPECT_EQ(recorder.progress, (std::vector<int32_t>{0, 12, 25, 37, 50, 62, 75, 87, 100}));

    // The next update counts from its own pages.
    const std::vector<int32_t> first = recorder.progress;
    recorder.progress.clear();
    session.startUpdate();
    clock.advance(60'000);
    ASSERT_EQ(recorder.successes, 2);
    EXPECT_EQ(recorder.progress, first);
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
    EXPECT_FALSE(heldOpen(session.filePath)) << "the failed update let go of its file";
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

HjzFirmware bad(std::optional<uint32_t> pageSize, std::optional<uint32_t> totalLength)
{
    HjzFirmware f;
    f.data = patternBytes(2048);
    f.pageSizeOverride = pageSize;
    f.totalLengthOverride = totalLength;
    return f;
}

class HjzBadFiles : public HjzTest, public ::testing::WithParamInterface<QByteArray>
{
};

TEST_P(HjzBadFiles, AreRefusedBeforeAnythingIsErased)
{
    VirtualHjzBootloader device(bus);
    run(device, GetParam(), 1000);
    EXPECT_EQ(recorder.failures.size(), 1u);
    EXPECT_TRUE(bus.outputLog().empty());
}

INSTANTIATE_TEST_SUITE_P(Files, HjzBadFiles,
                         ::testing::Values(bad(0, std::nullopt).build(), bad(std::nullopt, 2000).build(),
                                           bad(std::nullopt, 4096).build(), QByteArray(10, 'x')));

// A stalled update is named by the page it waits on (a whole one is the hjz-386 recording).
TEST(HjzLab, StallNamesThePageItWaitsOn)
{
    QTemporaryDir dir;
    LabFlashOptions o;
    o.bootloader = LabBootloader::Hjz;
    o.file = test::writeTempFile(dir, hjzFile(387, 1024, 16));
    o.dropReply = 10;
    LabFlashRun stalled(o);
    EXPECT_EQ(stalled.run().message, QStringLiteral("stalled: page 3: waiting for the checksum reply"));
}
