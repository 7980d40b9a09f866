// Catches: a hidraw backend that shifts or drops report bytes, misses a late node, or drops a device on a failed write.
#include "boot/SHIDBoot.h"
#include "device/HidTransport.h"
#include "device/SHIDDinput.h"
#include "device/SHIDSwitchAndMac.h"
#include "models/FirmwareFileBuilder.h"
#include "models/VirtualClassicBootloader.h"
#include "models/VirtualDinputController.h"
#include "models/VirtualVendorModeController.h"
#include "platform/Bytes.h"
#include "platform/HidApiBackend.h"
#include "platform/HidApiDevice.h"
#include "platform/QtScheduler.h"
#include "platform/VirtualHidBus.h"

#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "rigs/UMockdevHidraw.h"
#include "support/BootRecorder.h"
#include "support/EventLoop.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <limits>
#include <map>
#include <string>

using namespace flashwell;
using namespace flashwell::lab;
using flashwell::lab::UMockdevHidraw;
using flashwell::test::BootRecorder;
using flashwell::test::hex;
using flashwell::test::RecordingDelegate;
using flashwell::test::waitUntil;

namespace {

std::string hexOf(const std::vector<uint8_t> &bytes, std::size_t count)
{
    HidReport r{};
    std::copy_n(bytes.begin(), std::min(count, bytes.size()), r.begin());
    return hex(r, std::min(count, bytes.size()));
}

// How many of the recorded callbacks start with `prefix`.
long count(const BootRecorder &r, const std::string &prefix)
{
    return std::count_if(r.events.begin(), r.events.end(), [&](const std::string &e) { return e.starts_with(prefix); });
}

class HidrawTest : public ::testing::Test
{
protected:
    HidrawTest()
        : catalogue(
            {test::entry(0x3100, 0x2DC8, 17, "Fenwyk Crane"), test::entry(0x3101, 0x2DC8, 40, "Fenwyk Crane Wireless")})
    {
        deviceBus.setLatencyMs(0);
        dinput.setDelegate(&delegate);
        switchAndMac.setDelegate(&delegate);
        dinput.open();
        switchAndMac.open();
    }

    void SetUp() override
    {
        ASSERT_TRUE(UMockdevHidraw::inMockEnvironment()) << "run this binary under umockdev-wrapper";
    }

    test::ScopedCatalogue catalogue;
    // The device side: the lab's models on a virtual bus, mirrored as hidraw nodes.
    QtScheduler deviceClock;
    VirtualHidBus deviceBus{deviceClock};
    UMockdevHidraw hidraw{deviceBus};
    // The host side: the product as it runs, on the real hidapi backend.
    QtScheduler hostClock;
    HidApiBackend backend{50};
    RecordingDelegate delegate;
    SHIDDinput dinput{{&hostClock, &backend}};
    SHIDSwitchAndMac switchAndMac{{&hostClock, &backend}};
};

class HidrawNodes : public HidrawTest, public ::testing::WithParamInterface<int>
{
};

} // namespace

// On the node every write is 65 bytes, 0x00 first; the device gets exactly our 64. udev creates a
// node, or gives it its permissions, a moment after the device is announced: the first open fails,
// and the backend looks again until it can open it.
TEST_P(HidrawNodes, DinputControllerIsFoundQueriedAndAnnounced)
{
    hidraw.setNodeDelay(GetParam());
    VirtualDinputController crane(deviceBus, 0x3100, 0x2DC8, QStringLiteral("Fenwyk Crane"));
    crane.versionHundredths = 125;
    crane.plug();
    ASSERT_TRUE(waitUntil([&] { return delegate.addCount() >= 1; }, 8000)) << "no announcement";
    ASSERT_TRUE(delegate.events.back().added);
    const SFenwykDevicePtr d = delegate.events.back().device;
    // Every version reply refreshes the announcement, so how many come depends on the timing; they
    // all name the one record, not one per attempt to open the node.
    for (const auto &e : delegate.events)
        EXPECT_TRUE(!e.added || e.device == d);
    EXPECT_EQ(dinput.devices().size(), 1u);
    EXPECT_FLOAT_EQ(d->version(), 1.25f) << "identified once it could be opened";
    EXPECT_EQ(d->deviceName, QStringLiteral("Fenwyk Crane")) << "the product string comes from enumeration";

    const auto writes = hidraw.writes();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.front().bytes.size(), 65u);
    EXPECT_EQ(hexOf(writes.front().bytes, 7), "00 06 00 21 01 00 00");
    ASSERT_FALSE(crane.received().empty());
    EXPECT_EQ(hex(crane.received().front(), 6), "06 00 21 01 00 00");
    EXPECT_TRUE(std::all_of(crane.received().front().begin() + 6, crane.received().front().end(),
                            [](uint8_t b) { return b == 0; }));
}

INSTANTIATE_TEST_SUITE_P(NodeDelays, HidrawNodes, ::testing::Values(0, 600),
                         [](const auto &row) { return "after" + std::to_string(row.param) + "ms"; });

// A report whose first byte is zero arrives whole. A write the node refuses once (a busy endpoint)
// is reported as failed to its sender, and the device goes on: the next write reaches it, its
// replies still arrive, and it is not re-announced.
TEST_F(HidrawTest, WritesArriveWholeAndATransientFailureIsReportedAndOutlived)
{
    VirtualDinputController crane(deviceBus, 0x3100, 0x2DC8, QStringLiteral("Fenwyk Crane"));
    crane.answersQueries = false;
    crane.plug();
    ASSERT_TRUE(waitUntil([&] { return dinput.devices().size() == 1 && !crane.received().empty(); }));
    HidDevice *host = dinput.devices().front()->deviceRef.data();
    ASSERT_NE(host, nullptr);
    HidReport zeroFirst{};
    zeroFirst[1] = 0x11;
    zeroFirst[63] = 0xEE;
    EXPECT_EQ(host->setReport(zeroFirst), kIOReturnSuccess);
    ASSERT_TRUE(waitUntil([&] { return crane.received().back() == zeroFirst; }));
    const std::size_t before = crane.received().size();

    hidraw.failWrites(1, EAGAIN);
    EXPECT_EQ(host->setReport(test::report({0x06, 0x00, 0x21, 0x01})), kIOReturnError) << "this write failed";
    const HidReport next = test::report({0x00, 0x42, 0x43});
    EXPECT_EQ(host->setReport(next), kIOReturnSuccess) << "the device still takes writes";
    ASSERT_TRUE(waitUntil([&] { return crane.received().size() == before + 1; }));
    EXPECT_EQ(crane.received().back(), next);

    // Replies still reach the host, and after the backend has looked again the device is the same.
    crane.answersQueries = true;
    crane.versionHundredths = 140;
    const int added = delegate.addCount();
    EXPECT_EQ(transport::sendShortFrame(host, transport::kGuard, 0x21, 1), kIOReturnSuccess);
    ASSERT_TRUE(waitUntil([&] { return delegate.addCount() > added; })) << "the version reply was read";
    backend.rescan();
    ASSERT_EQ(backend.devices().size(), 1);
    EXPECT_EQ(backend.devices().front(), host) << "not removed and announced again";
}

// Reads that fail a few times (a hiccup) leave the device as it is; reads that keep failing mean
// the handle is dead: the backend drops it and, the node still being listed, opens it afresh, and the
// watcher identifies the device again.
TEST_F(HidrawTest, ReadsThatKeepFailingReplaceTheHandleAndAHiccupDoesNot)
{
    VirtualDinputController crane(deviceBus, 0x3100, 0x2DC8, QStringLiteral("Fenwyk Crane"));
    crane.versionHundredths = 125;
    crane.plug();
    ASSERT_TRUE(waitUntil([&] { return delegate.addCount() >= 1; }));
    const QPointer<HidDevice> first = dinput.devices().front()->deviceRef.data();
    ASSERT_TRUE(first);

    hidraw.failReads(0x3100, 3);
    ASSERT_TRUE(waitUntil([&] { return hidraw.readFaultsLeft() == 0; }));
    const int added = delegate.addCount();
    EXPECT_EQ(transport::sendShortFrame(first.data(), transport::kGuard, 0x21, 1), kIOReturnSuccess);
    ASSERT_TRUE(waitUntil([&] { return delegate.addCount() > added; })) << "the version reply was read";
    backend.rescan();
    ASSERT_EQ(backend.devices().size(), 1);
    EXPECT_EQ(backend.devices().front(), first.data()) << "a hiccup keeps the handle";
    const auto isRemoval = [](const auto &e) { return !e.added; };
    EXPECT_TRUE(std::none_of(delegate.events.begin(), delegate.events.end(), isRemoval));

    hidraw.failReads(0x3100, HidApiDevice::kReadFailuresUntilLost);
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto removal = std::find_if(delegate.events.begin(), delegate.events.end(), isRemoval);
            return removal != delegate.events.end()
                   && std::any_of(removal, delegate.events.end(), [](const auto &e) { return e.added; });
        },
        10000))
        << "the device was not found again";
    EXPECT_TRUE(first.isNull()) << "the dead handle's device object is gone";
    ASSERT_EQ(backend.devices().size(), 1);
    ASSERT_EQ(dinput.devices().size(), 1);
    EXPECT_FLOAT_EQ(dinput.devices().front()->version(), 1.25f);
    EXPECT_TRUE(delegate.events.back().added);
}

TEST_F(HidrawTest, NumberedDeviceGetsItsReportIdByteAsSent)
{
    VirtualVendorModeController pro(deviceBus, VirtualVendorModeController::Identity::Switch, 0x3101);
    pro.versionHundredths = 207;
    pro.plug();
    ASSERT_TRUE(waitUntil([&] { return delegate.addCount() >= 1; }));
    EXPECT_FLOAT_EQ(delegate.events.front().device->version(), 2.07f);
    const auto writes = hidraw.writes();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.front().bytes.size(), 64u);
    EXPECT_EQ(hexOf(writes.front().bytes, 4), "01 06 00 00") << "the stop-change-mode report, unshifted";
    EXPECT_EQ(hex(pro.received().front(), 4), "01 06 00 00");
}

// A classic session on the real backend (the update screen's part: the version query when the
// bootloader arrives) whose bootloader leaves in the middle of the data.
TEST_F(HidrawTest, UnplugInTheMiddleOfAnUpdateEndsInTheRemovalPathWithoutAHang)
{
    ClassicFirmware fw;
    fw.data = patternBytes(2048, 3);
    QTemporaryDir scratch;
    BootRecorder screen;
    screen.onAdd = [](const SFenwykDevicePtr &d) {
        transport::sendFramedPacket(d->deviceRef.data(), transport::kGuard, classic::kCommandVersion, {});
    };
    SHIDBoot session({&hostClock, &backend});
    session.addBootDelegate(&screen);
    session.filePath = test::writeTempFile(scratch, fw.build());
    session.open();
    VirtualClassicBootloader bootloader(deviceBus);
    bootloader.faults.unplugAfter = 10;
    bootloader.plug();
    ASSERT_TRUE(waitUntil([&] { return count(screen, "remove") == 1; }, 15000));
    EXPECT_FALSE(screen.has("done"));
    const long progress = count(screen, "progress");
    // Whatever the device sent before it left has been posted by now; none of it may count.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(count(screen, "progress"), progress) << "nothing moves after the device left";
    EXPECT_TRUE(backend.devices().isEmpty());
}

namespace {

// This process's open file descriptors and what each one is.
std::map<std::string, std::string> openDescriptors()
{
    std::map<std::string, std::string> out;
    std::error_code error;
    for (const auto &fd : std::filesystem::directory_iterator("/proc/self/fd", error))
        out[fd.path().filename().string()] = std::filesystem::read_symlink(fd.path(), error).string();
    return out;
}

} // namespace

// Where udev runs, its monitor announces a plug by itself (this backend never polls), and the
// monitor's socket goes with the backend.
TEST_F(HidrawTest, UdevMonitorAnnouncesAPlugAndGoesWithTheBackend)
{
    constexpr int kNeverPolls = std::numeric_limits<int>::max();
    const auto before = openDescriptors();
    {
        const HidApiBackend udev(kNeverPolls, nullptr, HidApiBackend::Hotplug::Udev);
        EXPECT_NE(openDescriptors(), before) << "the monitor holds a socket";
    }
    EXPECT_EQ(openDescriptors(), before);

    HidApiBackend udev(kNeverPolls, nullptr, HidApiBackend::Hotplug::Udev);
    int arrivals = 0;
    QObject::connect(&udev, &HidBackend::deviceArrived, [&] { ++arrivals; });
    VirtualDinputController crane(deviceBus, 0x3100, 0x2DC8, QStringLiteral("Fenwyk Crane"));
    crane.plug();
    EXPECT_TRUE(waitUntil([&] { return arrivals == 1; })) << "the plug was not announced";
}

// A node that cannot be opened (no permission) is announced again a few times, then given up: a
// look at the nodes after that announces nothing more.
TEST_F(HidrawTest, NodeThatNeverOpensIsGivenUpAfterItsRetries)
{
    hidraw.setNodeDelay(600'000);
    int failures = 0;
    int arrivals = 0;
    QObject::connect(&backend, &HidBackend::deviceOpenFailed, [&] { ++failures; });
    QObject::connect(&backend, &HidBackend::deviceArrived, [&] { ++arrivals; });
    VirtualDinputController crane(deviceBus, 0x3100, 0x2DC8, QStringLiteral("Fenwyk Crane"));
    crane.plug();
    ASSERT_TRUE(waitUntil([&] { return failures == HidApiBackend::kOpenRetries; }, 8000));
    const int announced = arrivals;
    backend.rescan();
    EXPECT_EQ(arrivals, announced) << "announced again after its retries";
    EXPECT_EQ(delegate.addCount(), 0);
}
