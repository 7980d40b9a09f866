// Catches: a watcher that announces unasked, twice or wrongly, keeps departed records or takes foreign replies.
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

// A version reply and the record announced for it: the catalogue entry by the reported product ID
// (a dual receiver's re-filed by its sub-product), the version, beta and boot version it carries.
struct Reply
{
    const char *what;
    enum Mode { Dinput, Switch, Sony } mode;
    uint16_t pid;
    VirtualDinputController::Layout layout;
    uint16_t hundredths, beta, bootVersion, subPid;
    bool canSwitch;
    uint16_t recordPid; // what the record is announced as
    int32_t type;
    const char *storedName;
};

[[maybe_unused]] void PrintTo(const Reply &c, std::ostream *os)
{
    *os << c.what;
}

class WatcherReplies : public WatchersTest, public ::testing::WithParamInterface<Reply>
{
};

TEST_P(WatcherReplies, AnnounceTheRecordOncePerReply)
{
    const Reply &c = GetParam();
    std::unique_ptr<VirtualDeviceModel> device;
    const auto answers = [&](auto &model) {
        model.versionHundredths = c.hundredths;
        model.beta = c.beta;
        model.bootVersion = c.bootVersion;
        model.canSwitch = c.canSwitch;
    };
    if (c.mode == Reply::Dinput) {
        auto d = std::make_unique<VirtualDinputController>(bus, c.pid, 0x2DC8, QStringLiteral("Fenwyk Crane"));
        answers(*d);
        d->layout = c.layout;
        d->subPid = c.subPid;
        device = std::move(d);
    } else {
        using Identity = VirtualVendorModeController::Identity;
        auto v = std::make_unique<VirtualVendorModeController>(
            bus, c.mode == Reply::Switch ? Identity::Switch : Identity::Sony, c.pid);
        answers(*v);
        device = std::move(v);
    }
    device->plug();
    clock.advance(1000);
    ASSERT_EQ(delegate.addCount(), 3);
    const SFenwykDevicePtr d = delegate.events.back().device;
    EXPECT_EQ(d, delegate.events.front().device) << "repeats carry the same record";
    EXPECT_EQ(d->pid, c.recordPid);
    ASSERT_TRUE(d->details());
    EXPECT_EQ(d->details()->type, c.type);
    EXPECT_EQ(d->details()->storedName(), QString::fromUtf8(c.storedName));
    EXPECT_FLOAT_EQ(d->version(), c.hundredths / 100.0f);
    EXPECT_EQ(d->beta, c.beta);
    EXPECT_EQ(d->bootVersion, c.bootVersion);
    if (!c.canSwitch) {
        EXPECT_FALSE(d->isChangeBoot);
    }
    if (c.mode == Reply::Dinput) {
        EXPECT_EQ(d->deviceName, QStringLiteral("Fenwyk Crane"));
    }
}

using L = VirtualDinputController::Layout;
INSTANTIATE_TEST_SUITE_P(
    Replies, WatcherReplies,
    ::testing::Values(
        // 0x3100 takes its switch flag from byte 5 of layout A.
        Reply{"layout_A", Reply::Dinput, 0x3100, L::A, 125, 0, 0, 0, false, 0x3100, 17, "Fenwyk Crane"},
        Reply{"boot_version", Reply::Dinput, 0x6002, L::A, 502, 3, 0x0105, 0, true, 0x6002, 27, "Fenwyk Condor Pro"},
        Reply{"layout_B", Reply::Dinput, 0x6000, L::B, 130, 7, 0x0201, 0, true, 0x6000, 26, "Fenwyk Condor"},
        Reply{"dual_receiver_refiled", Reply::Dinput, 0x3109, L::B, 100, 0, 0, 0x3013, true, 0x3013, 44,
              "Fenwyk Summit 2.4 GHz Adapter"},
        Reply{"dual_receiver_other_sub_product", Reply::Dinput, 0x3109, L::B, 100, 0, 0, 0x3012, true, 0x3109, 42,
              "Fenwyk Summit Adapter"},
        // The record keeps the USB identity; the entry is the catalogue's last with the reported
        // product ID, whatever its vendor ID.
        Reply{"switch_mode", Reply::Switch, 0x3101, L::A, 110, 4, 0, 0, false, 0x2009, 99, "Fenwyk Later"},
        Reply{"mac_mode", Reply::Sony, 0x6002, L::A, 100, 0, 0x0105, 0, true, 0x05C4, 27, "Fenwyk Condor Pro"}),
    [](const auto &row) { return std::string(row.param.what); });

TEST_F(WatchersTest, DeviceWithoutProductNameGetsANullName)
{
    VirtualDinputController wren(bus, 0x3020, 0x2DC8, QString());
    wren.plug();
    clock.advance(5);
    ASSERT_GE(delegate.addCount(), 1);
    EXPECT_TRUE(delegate.events.front().device->deviceName.isNull());
}

// Reports fed by hand to a device that answers nothing itself: what a watcher takes as a version
// reply (a reply with the marker at both places under both layouts in turn: A reads 0x3422 / 100,
// then B 0x0134, and B wins) and what it drops.
TEST_F(WatchersTest, HandFedRepliesAreTakenOnlyInTheirForm)
{
    const struct
    {
        const char *what;
        uint16_t vid, pid;
        std::vector<uint8_t> bytes;
        std::size_t length; // the rest up to it zero
        int adds;
    } rows[] = {
        {"both markers", 0x2DC8, 0x3020, {0x22, 0x22, 0x34, 0x01, 0x09}, 64, 2},
        {"shorter than its layout", 0x2DC8, 0x3020, {0x22, 0x7D, 0x00}, 3, 0},
        {"another kind", 0x2DC8, 0x3020, {0x23, 0x7D}, 64, 0},
        {"wrong report ID", 0x057E, 0x2009, {0x02, 0x66, 0, 0x31, 0x01}, 64, 0},
        {"wrong kind", 0x057E, 0x2009, {0x01, 0x67, 0, 0x31, 0x01}, 64, 0},
        {"too short", 0x057E, 0x2009, {0x01, 0x66, 0, 0x31}, 4, 0},
        {"the 0x81 form", 0x057E, 0x2009, {0x81, 0x66, 0, 0x31, 0x01}, 64, 1},
        {"to the HJZ watcher", 0x2DC8, 0x2007, {0x22, 0x22}, 64, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        lab::SilentDevice device(bus, HidIdentity{row.vid, row.pid, {}});
        HidDevice *hid = device.plug();
        clock.runPending();
        delegate.events.clear();
        std::vector<uint8_t> bytes = row.bytes;
        bytes.resize(row.length);
        bus.sendInput(hid, bytes);
        clock.advance(5);
        EXPECT_EQ(delegate.addCount(), row.adds);
        if (row.adds == 2) {
            EXPECT_FLOAT_EQ(delegate.events.back().device->version(), 3.08f);
            EXPECT_EQ(delegate.events.back().device->beta, 9);
        }
        device.unplug();
        clock.runUntilIdle();
    }
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

// Opening the watcher again announces the attached device a second time, so two records share its
// handle; its removal is reported once, with one of them, and takes both away.
TEST_F(WatchersTest, RemovalDropsEveryRecordWhenSeveralShareTheHandle)
{
    VirtualDinputController crane(bus, 0x3100);
    crane.plug();
    clock.advance(10);
    dinput.open();
    clock.advance(10);
    ASSERT_EQ(dinput.devices().size(), 2);
    EXPECT_EQ(dinput.devices()[0]->deviceRef, dinput.devices()[1]->deviceRef);
    const auto records = dinput.devices();
    delegate.events.clear();
    crane.unplug();
    ASSERT_EQ(delegate.events.size(), 1u);
    EXPECT_FALSE(delegate.events[0].added);
    EXPECT_TRUE(records.contains(delegate.events[0].device));
    EXPECT_TRUE(dinput.devices().isEmpty());
    EXPECT_TRUE(records.front()->deviceRef.isNull());
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

// The arrival queries of the D-input and Switch modes and the switch frames of both are pinned by
// the recorded updates (classic, second-generation through the Switch-mode report, the manual
// guide); not the Sony identity's report ID, nor a boot of no device.
TEST_F(WatchersTest, SonyModeQueriesWithReportId5AndBootingNoDeviceSendsNothing)
{
    VirtualVendorModeController sony(bus, VirtualVendorModeController::Identity::Sony, 0x6000);
    sony.plug();
    EXPECT_EQ(sentTo(0x05C4).back(), "05 66 aa 00 21 01 00 00");
    bus.clearLog();
    SHIDDinput::boot(nullptr);
    SHIDSwitchAndMac::boot(nullptr);
    EXPECT_TRUE(bus.outputLog().empty());
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
    family.unplug();
    EXPECT_EQ(hjz.device(), nullptr);
}
