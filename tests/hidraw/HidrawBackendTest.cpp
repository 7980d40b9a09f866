// The product's real hidapi backend against emulated hidraw nodes (umockdev). The device models
// are the lab's own, reached through a second transport. Run under umockdev-wrapper.
#include "FirmwareFileBuilder.h"
#include "VirtualClassicBootloader.h"
#include "VirtualDinputController.h"
#include "VirtualVendorModeController.h"
#include "boot/SHIDBoot.h"
#include "device/HidTransport.h"
#include "device/SHIDDinput.h"
#include "device/SHIDSwitchAndMac.h"
#include "platform/Bytes.h"
#include "platform/HidApiBackend.h"
#include "platform/HidApiDevice.h"
#include "platform/QtScheduler.h"
#include "platform/VirtualHidBus.h"

#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "UMockdevHidraw.h"
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

// Starts the classic exchange when the bootloader arrives, as the update screen does.
class ClassicStarter final : public QObject, public SHIDBootDelegate
{
public:
    void SHIDBootRemoveDevice(const SFenwykDevicePtr &, SHIDManager *) override { ++removals; }
    void SHIDBootGetVersion(const SFenwykDevicePtr &, SHIDManager *) override {}
    void SHIDBootGetFirmwaerType(uint32_t, SHIDManager *) override {}
    void SHIDBootStartUpdate(SHIDManager *) override {}
    void SHIDBootStartUpdateing(int32_t p, SHIDManager *) override { progress = p; }
    void SHIDBootStartUpdateed(SHIDManager *) override { done = true; }
    void SHIDBootNotSupportFirmware(SHIDManager *) override { failed = true; }
    void SHIDBootErrorString(SHIDManager *, const QString &) override { failed = true; }
    void SHIDBootErrorNOEqualPID(SHIDManager *, uint32_t, uint32_t) override { failed = true; }
    void SHIDBootAddDevice(const SFenwykDevicePtr &d, SHIDManager *) override
    {
        ++arrivals;
        transport::sendFramedPacket(d->deviceRef.data(), transport::kGuard, classic::kCommandVersion, {});
    }
    int arrivals = 0;
    int removals = 0;
    int progress = 0;
    bool done = false;
    bool failed = false;
};

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

} // namespace

TEST_F(HidrawTest, RunsInsideTheMockEnvironment)
{
    ASSERT_TRUE(UMockdevHidraw::inMockEnvironment()) << "run this binary under umockdev-wrapper";
}

TEST_F(HidrawTest, DinputControllerIsFoundQueriedAndAnnounced)
{
    VirtualDinputController crane(deviceBus, 0x3100, 0x2DC8, QStringLiteral("Fenwyk Crane"));
    crane.versionHundredths = 125;
    crane.plug();
    ASSERT_TRUE(waitUntil([&] { return delegate.addCount() >= 1; })) << "no announcement";
    const SFenwykDevicePtr d = delegate.events.front().device;
    EXPECT_FLOAT_EQ(d->version(), 1.25f);
    EXPECT_EQ(d->deviceName, QStringLiteral("Fenwyk Crane")) << "the product string comes from enumeration";

    // On the node every write is 65 bytes, 0x00 first; the device gets exactly our 64.
    const auto writes = hidraw.writes();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.front().bytes.size(), 65u);
    EXPECT_EQ(hexOf(writes.front().bytes, 7), "00 06 00 21 01 00 00");
    ASSERT_FALSE(crane.received().empty());
    EXPECT_EQ(hex(crane.received().front(), 6), "06 00 21 01 00 00");
    EXPECT_TRUE(std::all_of(crane.received().front().begin() + 6, crane.received().front().end(),
                            [](uint8_t b) { return b == 0; }));
}

// udev creates a node, or gives it its permissions, a moment after the device is announced: the
// first open fails, and the backend looks again until it can open it.
TEST_F(HidrawTest, NodeThatAppearsLateIsOpenedOnceItCanBe)
{
    hidraw.setNodeDelay(600);
    VirtualDinputController crane(deviceBus, 0x3100, 0x2DC8, QStringLiteral("Fenwyk Crane"));
    crane.versionHundredths = 125;
    crane.plug();
    ASSERT_TRUE(waitUntil([&] { return delegate.addCount() >= 1; }, 8000)) << "the late node was never opened";
    EXPECT_EQ(delegate.addCount(), 1);
    ASSERT_TRUE(delegate.events.back().added);
    EXPECT_FLOAT_EQ(delegate.events.back().device->version(), 1.25f) << "identified once it could be opened";
    EXPECT_EQ(dinput.devices().size(), 1u);
}

TEST_F(HidrawTest, ReportWhoseFirstByteIsZeroStillArrivesWhole)
{
    VirtualDinputController crane(deviceBus, 0x3100);
    crane.answersQueries = false;
    crane.plug();
    ASSERT_TRUE(waitUntil([&] { return dinput.devices().size() == 1 && !crane.received().empty(); }));
    HidReport report{};
    report[0] = 0x00;
    report[1] = 0x11;
    report[63] = 0xEE;
    HidDevice *host = dinput.devices().front()->deviceRef.data();
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->setReport(report), kIOReturnSuccess);
    ASSERT_TRUE(waitUntil([&] { return crane.received().back() == report; }));
}

// A write the node refuses once (a busy endpoint) is reported as failed to its sender, and the
// device goes on: the next write reaches it, its replies still arrive, and it is not re-announced.
TEST_F(HidrawTest, TransientWriteFailureIsReportedAndTheDeviceGoesOn)
{
    VirtualDinputController crane(deviceBus, 0x3100, 0x2DC8, QStringLiteral("Fenwyk Crane"));
    crane.answersQueries = false;
    crane.plug();
    ASSERT_TRUE(waitUntil([&] { return dinput.devices().size() == 1 && !crane.received().empty(); }));
    HidDevice *host = dinput.devices().front()->deviceRef.data();
    ASSERT_NE(host, nullptr);
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

TEST_F(HidrawTest, BootSwitchThenAWholeClassicUpdateOverHidraw)
{
    ClassicStarter screen;
    SHIDBoot session({&hostClock, &backend});
    session.addBootDelegate(&screen);
    QTemporaryDir dir;
    ClassicFirmware fw;
    fw.version = 300;
    fw.data = patternBytes(256, 9);
    session.filePath = test::writeTempFile(dir, fw.build());
    session.open();

    VirtualClassicBootloader bootloader(deviceBus);
    VirtualDinputController crane(deviceBus, 0x3100);
    crane.setBootTarget({0x2DC8, 0x5750, QStringLiteral("Fenwyk Bootloader")}, &bootloader);
    crane.setReenumerateDelayMs(50);
    crane.plug();
    ASSERT_TRUE(waitUntil([&] { return delegate.addCount() >= 1; }));
    SHIDDinput::boot(dinput.devices().front()->deviceRef.data());

    ASSERT_TRUE(waitUntil([&] { return screen.done || screen.failed; }, 15000)) << "progress " << screen.progress;
    EXPECT_TRUE(screen.done);
    ASSERT_TRUE(waitUntil([&] { return bootloader.finished(); })) << "the finish command reached the device";
    EXPECT_EQ(screen.arrivals, 1);
    EXPECT_TRUE(std::any_of(delegate.events.begin(), delegate.events.end(), [](const auto &e) { return !e.added; }))
        << "the controller's removal was reported";
    EXPECT_EQ(bootloader.flash().read(fw.address, 256), fw.data);

    // The bootloader got exactly the reports of the lab's wire trace: query, info request, header,
    // eight data pieces, finish.
    const transport::Identity id{0x2DC8, 0x5750};
    std::vector<HidReport> expected = transport::buildFramedPacket(id, classic::kCommandVersion, {});
    expected.push_back(transport::buildShortFrame(id, classic::kInfoRequestKind, 0));
    const QByteArray file = fw.build();
    const auto bytes = [&](int at, int n) {
        return bytesOf(file).subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(n));
    };
    for (const HidReport &r : transport::buildFramedPacket(id, classic::kCommandHeader, bytes(0, 28)))
        expected.push_back(r);
    for (int at = 28; at < file.size(); at += 32)
        for (const HidReport &r : transport::buildFramedPacket(id, classic::kCommandData, bytes(at, 32)))
            expected.push_back(r);
    for (const HidReport &r : transport::buildFramedPacket(id, classic::kCommandFinish, {}))
        expected.push_back(r);
    EXPECT_EQ(bootloader.received(), expected);
}

TEST_F(HidrawTest, UnplugInTheMiddleOfAnUpdateEndsInTheRemovalPathWithoutAHang)
{
    ClassicStarter screen;
    SHIDBoot session({&hostClock, &backend});
    session.addBootDelegate(&screen);
    QTemporaryDir dir;
    ClassicFirmware fw;
    fw.data = patternBytes(2048, 3);
    session.filePath = test::writeTempFile(dir, fw.build());
    session.open();

    VirtualClassicBootloader bootloader(deviceBus);
    bootloader.faults.unplugAfter = 10; // in the middle of the data
    bootloader.plug();
    ASSERT_TRUE(waitUntil([&] { return screen.removals == 1; }, 15000)) << "progress " << screen.progress;
    EXPECT_FALSE(screen.done);
    const int progress = screen.progress;
    // Whatever the device sent before it left has been posted by now; none of it may count.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(screen.progress, progress) << "nothing moves after the device left";
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
