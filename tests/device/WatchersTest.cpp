#include "device/SHIDDinput.h"
#include "device/SHIDHJZ.h"
#include "device/SHIDSwitchAndMac.h"
#include "device/SHIDXinput.h"
#include "models/VirtualDinputController.h"
#include "models/VirtualVendorModeController.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <gtest/gtest.h>

#include <bit>

#include "support/TestSupport.h"

using namespace flashwell;
using namespace flashwell::lab;
using flashwell::test::entry;
using flashwell::test::hex;
using flashwell::test::RecordingDelegate;
using flashwell::test::report;
using flashwell::test::ScopedCatalogue;

namespace {

class WatchersTest : public ::testing::Test
{
protected:
    WatchersTest()
        : catalogue({entry(0x3100, 0x2DC8, 17, "Fenwyk Crane"), entry(0x3020, 0x2DC8, 2, "Fenwyk Wren"),
                     entry(0x6002, 0x2DC8, 27, "Fenwyk Condor Pro"), entry(0x6000, 0x2DC8, 26, "Fenwyk Condor"),
                     entry(0x3109, 0x2DC8, 42, "Fenwyk Summit Adapter"), entry(0x3105, 0x2DC8, 20, "Fenwyk Crane Lite"),
                     entry(0x3101, 0x2DC8, 40, "Fenwyk Crane Wireless"), entry(0x3101, 0x1111, 99, "Fenwyk Later"),
                     entry(0x0CDA, 0x054C, 10, "Fenwyk Bridge Adapter")})
    {
        dinput.setDelegate(&delegate);
        switchAndMac.setDelegate(&delegate);
        dinput.open();
        switchAndMac.open();
        xinput.open();
        hjz.open();
    }

    std::vector<std::string> sentTo(uint16_t pid, std::size_t bytes = 8) const
    {
        std::vector<std::string> out;
        for (const auto &r : bus.outputLog())
            if (r.productId == pid)
                out.push_back(hex(r.bytes, bytes));
        return out;
    }

    ScopedCatalogue catalogue;
    VirtualScheduler clock;
    VirtualHidBus bus{clock};
    RecordingDelegate delegate;
    SHIDDinput dinput{{&clock, &bus}};
    SHIDSwitchAndMac switchAndMac{{&clock, &bus}};
    SHIDXinput xinput{{&clock, &bus}};
    SHIDHJZ hjz{{&clock, &bus}};
};

// Versions as the two watchers compute them, written as bit patterns: the D-input watcher
// multiplies by 0.01f, the vendor-mode watcher divides by 100; for 314 and 9 they differ in the
// last bit.
struct WireVersion
{
    uint16_t hundredths;
    uint32_t timesHundredth;
    uint32_t overHundred;
};
constexpr WireVersion kWireVersions[] = {
    {502, 0x40A0A3D7, 0x40A0A3D7},
    {110, 0x3F8CCCCD, 0x3F8CCCCD},
    {314, 0x4048F5C2, 0x4048F5C3},
    {9, 0x3DB851EB, 0x3DB851EC},
};

float fromBits(uint32_t bits)
{
    return std::bit_cast<float>(bits);
}

} // namespace

TEST_F(WatchersTest, EachWatcherRoundsTheVersionItsOwnWay)
{
    for (const WireVersion &v : kWireVersions) {
        VirtualDinputController wren(bus, 0x3020);
        wren.versionHundredths = v.hundredths;
        wren.plug();
        VirtualVendorModeController pro(bus, VirtualVendorModeController::Identity::Switch, 0x3101);
        pro.versionHundredths = v.hundredths;
        pro.plug();
        clock.advance(10);
        ASSERT_EQ(dinput.devices().size(), 1u);
        ASSERT_FALSE(switchAndMac.devices().isEmpty());
        EXPECT_EQ(dinput.devices().front()->version(), fromBits(v.timesHundredth)) << v.hundredths;
        // The vendor-mode watcher keeps the records of devices that left: the newest is this row's.
        EXPECT_EQ(switchAndMac.devices().back()->version(), fromBits(v.overHundred)) << v.hundredths;
        wren.unplug();
        pro.unplug();
        clock.advance(10);
    }
}

TEST_F(WatchersTest, DinputArrivalQueriesTwiceAtOnceThenAfterHalfASecond)
{
    VirtualDinputController wren(bus, 0x3020);
    wren.answersQueries = false;
    wren.plug();
    clock.runPending();
    EXPECT_EQ(sentTo(0x3020), (std::vector<std::string>{"06 00 21 01 00 00 00 00", "06 00 21 01 00 00 00 00"}));
    clock.advance(499);
    EXPECT_EQ(sentTo(0x3020).size(), 2u);
    clock.advance(1);
    EXPECT_EQ(sentTo(0x3020).size(), 3u);
    EXPECT_EQ(bus.outputLog().back().atMs, 500);
    EXPECT_TRUE(delegate.events.empty()) << "never announced without a reply";
}

TEST_F(WatchersTest, ExtendedCommandDevicesAlsoGetFourLedQueriesBeforeTheDelayedOne)
{
    VirtualDinputController crane(bus, 0x3100);
    crane.answersQueries = false;
    crane.plug();
    clock.advance(1000);
    const std::string q = "06 00 21 01 00 00 00 00";
    const std::string led = "81 05 00 21 01 00 00 00";
    EXPECT_EQ(sentTo(0x3100), (std::vector<std::string>{q, q, led, led, led, led, q}));
}

TEST_F(WatchersTest, LayoutAReplyIdentifiesTheDeviceOncePerReply)
{
    VirtualDinputController crane(bus, 0x3100, 0x2DC8, QStringLiteral("Fenwyk Crane"));
    crane.versionHundredths = 125; // 22 7D 00 00 00
    crane.canSwitch = false;
    crane.plug();
    clock.advance(1000);
    ASSERT_EQ(delegate.addCount(), 3);
    const SFenwykDevicePtr d = delegate.events.front().device;
    EXPECT_EQ(d, delegate.events.back().device) << "repeats carry the same record";
    EXPECT_FLOAT_EQ(d->version(), 1.25f);
    EXPECT_EQ(d->beta, 0);
    EXPECT_FALSE(d->isChangeBoot) << "0x3100 takes its switch flag from byte 5";
    EXPECT_EQ(d->deviceName, QStringLiteral("Fenwyk Crane"));
    EXPECT_EQ(d->details()->type, 17);
}

TEST_F(WatchersTest, VersionUsesSinglePrecisionHundredths)
{
    VirtualDinputController condor(bus, 0x6002);
    condor.versionHundredths = 502;
    condor.beta = 3;
    condor.bootVersion = 0x0105;
    condor.plug();
    clock.advance(10);
    ASSERT_GE(delegate.addCount(), 1);
    const SFenwykDevicePtr d = delegate.events.front().device;
    EXPECT_EQ(d->version(), fromBits(kWireVersions[0].timesHundredth));
    EXPECT_EQ(d->beta, 3);
    EXPECT_EQ(d->bootVersion, 0x0105);
}

TEST_F(WatchersTest, LayoutBCarriesBetaAndBootVersion)
{
    VirtualDinputController condor(bus, 0x6000);
    condor.layout = VirtualDinputController::Layout::B;
    condor.versionHundredths = 130;
    condor.beta = 7;
    condor.bootVersion = 0x0201;
    condor.plug();
    clock.advance(10);
    ASSERT_GE(delegate.addCount(), 1);
    const SFenwykDevicePtr d = delegate.events.front().device;
    EXPECT_FLOAT_EQ(d->version(), 1.30f);
    EXPECT_EQ(d->beta, 7);
    EXPECT_EQ(d->bootVersion, 0x0201);
}

TEST_F(WatchersTest, ReplyWithMarkerAtBothPlacesIsReadUnderBothLayoutsInOrder)
{
    VirtualDinputController wren(bus, 0x3020);
    wren.answersQueries = false;
    HidDevice *device = wren.plug();
    clock.runPending();
    // Layout A reads version 0x3422 / 100, layout B then reads 0x0134 (3.08): B comes last and wins.
    bus.sendInput(device, report({0x22, 0x22, 0x34, 0x01, 0x09}));
    clock.advance(5);
    ASSERT_EQ(delegate.addCount(), 2);
    const SFenwykDevicePtr d = delegate.events.back().device;
    EXPECT_FLOAT_EQ(d->version(), 3.08f);
    EXPECT_EQ(d->beta, 9);
}

TEST_F(WatchersTest, ShortWrongOrForeignReportsAreIgnored)
{
    VirtualDinputController wren(bus, 0x3020);
    wren.answersQueries = false;
    HidDevice *device = wren.plug();
    clock.runPending();
    bus.sendInput(device, std::vector<uint8_t>{0x22, 0x7D, 0x00}); // shorter than its layout
    bus.sendInput(device, report({0x23, 0x7D}));                   // another kind of report
    clock.advance(5);
    EXPECT_TRUE(delegate.events.empty());
}

TEST_F(WatchersTest, DualReceiverIsRefiledBySubPid)
{
    VirtualDinputController summit(bus, 0x3109);
    summit.layout = VirtualDinputController::Layout::B;
    summit.subPid = 0x3013;
    summit.plug();
    clock.advance(10);
    ASSERT_GE(delegate.addCount(), 1);
    const SFenwykDevicePtr d = delegate.events.back().device;
    EXPECT_EQ(d->pid, 0x3013);
    EXPECT_EQ(d->details()->type, 44);
    EXPECT_EQ(d->details()->storedName(), QStringLiteral("Fenwyk Summit 2.4 GHz Adapter"));
}

TEST_F(WatchersTest, DualReceiverWithAnotherSubPidKeepsItsPid)
{
    VirtualDinputController summit(bus, 0x3109);
    summit.layout = VirtualDinputController::Layout::B;
    summit.subPid = 0x3012;
    summit.plug();
    clock.advance(10);
    ASSERT_GE(delegate.addCount(), 1);
    const SFenwykDevicePtr d = delegate.events.back().device;
    EXPECT_EQ(d->pid, 0x3109);
    EXPECT_EQ(d->details()->type, 42);
    EXPECT_EQ(d->details()->storedName(), QStringLiteral("Fenwyk Summit Adapter"));
}

TEST_F(WatchersTest, BridgeBlocksFurtherDinputDevicesUntilItLeaves)
{
    VirtualDinputController bridge(bus, 0x0CDA, 0x054C);
    bridge.plug();
    clock.runPending();
    VirtualDinputController wren(bus, 0x3020);
    wren.plug();
    clock.advance(1000);
    EXPECT_TRUE(sentTo(0x3020).empty()) << "ignored completely";
    EXPECT_EQ(dinput.devices().size(), 1);

    bridge.unplug();
    VirtualDinputController crane(bus, 0x3100);
    crane.plug();
    clock.advance(10);
    EXPECT_FALSE(sentTo(0x3100).empty());
    EXPECT_NE(dinput.getDeviceWithPID(0x3100), nullptr);
}

TEST_F(WatchersTest, RemovalReportsTheRecordThenDropsEveryRecordWithThatHandle)
{
    VirtualDinputController crane(bus, 0x3100);
    crane.plug();
    clock.advance(10);
    ASSERT_EQ(dinput.devices().size(), 1);
    const SFenwykDevicePtr d = dinput.devices().front();
    delegate.events.clear();
    crane.unplug();
    ASSERT_EQ(delegate.events.size(), 1u);
    EXPECT_FALSE(delegate.events[0].added);
    EXPECT_EQ(delegate.events[0].device, d);
    EXPECT_TRUE(dinput.devices().isEmpty());
    EXPECT_TRUE(d->deviceRef.isNull());
}

// Opening the watcher again announces the attached device a second time, so two records share its
// handle; its removal is reported once and takes both records away.
TEST_F(WatchersTest, RemovalDropsEveryRecordWhenSeveralShareTheHandle)
{
    VirtualDinputController crane(bus, 0x3100);
    crane.plug();
    clock.advance(10);
    dinput.open();
    clock.advance(10);
    ASSERT_EQ(dinput.devices().size(), 2);
    EXPECT_EQ(dinput.devices()[0]->deviceRef, dinput.devices()[1]->deviceRef);
    delegate.events.clear();
    crane.unplug();
    ASSERT_EQ(delegate.events.size(), 1u);
    EXPECT_FALSE(delegate.events[0].added);
    EXPECT_NE(delegate.events[0].device, nullptr);
    EXPECT_TRUE(dinput.devices().isEmpty());
}

TEST_F(WatchersTest, DelayedQueryIsSkippedWhenTheDeviceHasLeft)
{
    VirtualDinputController wren(bus, 0x3020);
    wren.plug();
    clock.runPending();
    wren.unplug();
    clock.advance(1000);
    EXPECT_EQ(sentTo(0x3020).size(), 2u);
}

TEST_F(WatchersTest, DinputBootSendsTheSwitchFramesAndTheDeviceReturnsAsItsBootloader)
{
    VirtualDinputController crane(bus, 0x3100);
    crane.setBootTarget({0x2DC8, 0x5750, QStringLiteral("Boot")});
    crane.setReenumerateDelayMs(400);
    HidDevice *device = crane.plug();
    clock.advance(10);
    bus.clearLog();
    SHIDDinput::boot(device);
    SHIDDinput::boot(nullptr);
    const std::string led = "81 05 00 51 00 00 00 00";
    EXPECT_EQ(sentTo(0x3100), (std::vector<std::string>{"06 00 50 01 00 00 00 00", led, led, led}));
    clock.advance(10);
    EXPECT_TRUE(dinput.devices().isEmpty());
    clock.advance(400);
    ASSERT_EQ(bus.devices().size(), 1);
    EXPECT_EQ(bus.devices().front()->property(kHidProductIDKey).toUInt(), 0x5750u);
}

TEST_F(WatchersTest, SwitchModeArrivalQuietsTheDeviceThenQueriesWithItsReportId)
{
    VirtualVendorModeController pro(bus, VirtualVendorModeController::Identity::Switch, 0x3101);
    pro.plug();
    clock.runPending();
    const auto sent = sentTo(0x2009, 16);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0], "01 06 00 00 00 00 00 00 00 00 01 04 87 f7 db 35");
    EXPECT_EQ(bus.outputLog()[0].bytes[47], 0x35);
    EXPECT_EQ(bus.outputLog()[0].bytes[48], 0x00);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(sent[i], "01 66 aa 00 21 01 00 00 00 00 00 00 00 00 00 00");

    VirtualVendorModeController sony(bus, VirtualVendorModeController::Identity::Sony, 0x6000);
    sony.plug();
    EXPECT_EQ(sentTo(0x05C4).back(), "05 66 aa 00 21 01 00 00");
}

TEST_F(WatchersTest, SwitchModeReplyUsesTheLastCatalogueEntryWithTheReportedPid)
{
    VirtualVendorModeController pro(bus, VirtualVendorModeController::Identity::Switch, 0x3101);
    pro.versionHundredths = 110;
    pro.beta = 4;
    pro.canSwitch = 0;
    pro.plug();
    clock.advance(10);
    ASSERT_EQ(delegate.addCount(), 3);
    const SFenwykDevicePtr d = delegate.events.back().device;
    EXPECT_EQ(d->details()->storedName(), QStringLiteral("Fenwyk Later")) << "VID is not compared";
    EXPECT_EQ(d->version(), fromBits(kWireVersions[1].overHundred));
    EXPECT_EQ(d->beta, 4);
    EXPECT_FALSE(d->isChangeBoot);
    EXPECT_EQ(d->pid, 0x2009) << "the record keeps the USB identity";
}

TEST_F(WatchersTest, MacModeReplyCarriesTheBootVersion)
{
    VirtualVendorModeController sony(bus, VirtualVendorModeController::Identity::Sony, 0x6002);
    sony.bootVersion = 0x0105;
    sony.plug();
    clock.advance(10);
    ASSERT_GE(delegate.addCount(), 1);
    EXPECT_EQ(delegate.events.back().device->bootVersion, 0x0105);
}

TEST_F(WatchersTest, SwitchModeProductThatBelongsInDinputIsSentBackWithoutAnnouncement)
{
    VirtualDinputController craneLite(bus, 0x3105);
    craneLite.layout = VirtualDinputController::Layout::B;
    VirtualVendorModeController pro(bus, VirtualVendorModeController::Identity::Switch, 0x3105);
    pro.setDinputTarget(craneLite.identity(), &craneLite);
    pro.plug();
    clock.advance(5);
    EXPECT_EQ(delegate.addCount(), 0);
    ASSERT_EQ(switchAndMac.devices().size(), 1);
    const SFenwykDevicePtr switchRecord = switchAndMac.devices().front();
    EXPECT_TRUE(switchRecord->deviceRef.isNull());
    EXPECT_TRUE(switchRecord->isChangeBoot);
    const auto sent = sentTo(0x2009);
    ASSERT_GE(sent.size(), 6u);
    EXPECT_EQ(sent[4], "01 66 aa 00 51 01 00 00");
    EXPECT_EQ(sent[5], "01 66 aa 00 51 01 00 00");

    // Back in D-input mode it is announced by the D-input watcher.
    clock.advance(1000);
    ASSERT_GE(delegate.addCount(), 1);
    EXPECT_EQ(delegate.events.back().device->pid, 0x3105);
    EXPECT_EQ(switchAndMac.devices().size(), 1) << "the Switch-mode record stays";
}

TEST_F(WatchersTest, SwitchModeRemovalKeepsTheRecordWithoutItsHandle)
{
    VirtualVendorModeController pro(bus, VirtualVendorModeController::Identity::Switch, 0x3101);
    pro.plug();
    clock.advance(10);
    delegate.events.clear();
    pro.unplug();
    ASSERT_EQ(delegate.events.size(), 1u);
    EXPECT_FALSE(delegate.events[0].added);
    ASSERT_TRUE(delegate.events[0].device);
    EXPECT_EQ(switchAndMac.devices().size(), 1);
    EXPECT_TRUE(switchAndMac.devices().front()->deviceRef.isNull());
}

TEST_F(WatchersTest, SwitchModeRejectsForeignAndShortReplies)
{
    VirtualVendorModeController pro(bus, VirtualVendorModeController::Identity::Switch, 0x3101);
    HidDevice *device = pro.plug();
    clock.runPending();
    pro.unplug(); // keep the model's own replies out of the way
    delegate.events.clear();
    lab::SilentDevice quiet(bus, HidIdentity{0x057E, 0x2009, {}});
    device = quiet.plug();
    clock.runPending();
    bus.sendInput(device, report({0x02, 0x66, 0, 0x31, 0x01}));       // wrong report ID
    bus.sendInput(device, report({0x01, 0x67, 0, 0x31, 0x01}));       // wrong kind
    bus.sendInput(device, std::vector<uint8_t>{0x01, 0x66, 0, 0x31}); // too short
    clock.advance(5);
    EXPECT_TRUE(delegate.events.empty());
    bus.sendInput(device, report({0x81, 0x66, 0, 0x31, 0x01})); // the 0x81 form is accepted
    clock.advance(5);
    EXPECT_EQ(delegate.addCount(), 1);
}

TEST_F(WatchersTest, SwitchModeBootSendsCommand50WithReportId5)
{
    VirtualVendorModeController pro(bus, VirtualVendorModeController::Identity::Switch, 0x3101);
    pro.setBootTarget({0x2DC8, 0x3208, {}});
    HidDevice *device = pro.plug();
    clock.runPending();
    bus.clearLog();
    SHIDSwitchAndMac::boot(device);
    SHIDSwitchAndMac::boot(nullptr);
    EXPECT_EQ(sentTo(0x2009), (std::vector<std::string>{"05 66 aa 00 50 01 00 00"}));
    clock.advance(1000);
    ASSERT_EQ(bus.devices().size(), 1);
    EXPECT_EQ(bus.devices().front()->property(kHidProductIDKey).toUInt(), 0x3208u);
}

TEST_F(WatchersTest, XinputDevicesAreRecordedOnly)
{
    lab::SilentDevice pad(bus, HidIdentity{0x045E, 0x028E, QStringLiteral("Controller")});
    pad.plug();
    clock.advance(1000);
    ASSERT_EQ(xinput.devices().size(), 1);
    EXPECT_EQ(xinput.devices().front()->deviceName, QStringLiteral("Controller"));
    EXPECT_TRUE(bus.outputLog().empty());
    EXPECT_TRUE(delegate.events.empty());
    pad.unplug();
    EXPECT_EQ(xinput.devices().size(), 1);
}

TEST_F(WatchersTest, HjzWatcherKeepsOnlyTheHandle)
{
    lab::SilentDevice family(bus, HidIdentity{0x2DC8, 0x2007, {}});
    HidDevice *device = family.plug();
    clock.runPending();
    EXPECT_EQ(hjz.device(), device);
    bus.sendInput(device, report({0x22, 0x22}));
    clock.advance(5);
    EXPECT_TRUE(delegate.events.empty());
    family.unplug();
    EXPECT_EQ(hjz.device(), nullptr);
}

TEST_F(WatchersTest, DeviceWithoutProductNameGetsANullName)
{
    VirtualDinputController wren(bus, 0x3020, 0x2DC8, QString());
    wren.plug();
    clock.advance(5);
    ASSERT_GE(delegate.addCount(), 1);
    EXPECT_TRUE(delegate.events.front().device->deviceName.isNull());
}
