// Catches: a device matched by the wrong IDs, or announced before its callback or after it left.
#include "platform/HidManager.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <gtest/gtest.h>

#include <vector>

using namespace flashwell;

namespace {
class NullEndpoint final : public VirtualHidEndpoint
{
public:
    void onOutputReport(HidDevice *, std::span<const uint8_t>) override {}
};
} // namespace

TEST(HidManager, MatchesByPidAndVidAndDeliversPresentDevicesOnTheNextTurn)
{
    VirtualScheduler clock;
    VirtualHidBus bus(clock);
    NullEndpoint endpoint;
    HidDevice *present = bus.plug({0x2DC8, 0x3100, {}}, &endpoint);
    bus.plug({0x2DC8, 0x3101, {}}, &endpoint); // not matched
    bus.plug({0x057E, 0x3100, {}}, &endpoint); // same pid, other vid: not matched

    HidManager manager(bus, clock);
    manager.setDeviceMatchingMultiple({{0x3100, 0x2DC8}, {0x028E, 0x045E}});
    std::vector<HidDevice *> matched;
    std::vector<HidDevice *> removed;
    manager.open();
    manager.registerDeviceMatchingCallback([&](HidDevice *d) { matched.push_back(d); });
    manager.registerDeviceRemovalCallback([&](HidDevice *d) { removed.push_back(d); });
    EXPECT_TRUE(matched.empty()) << "present devices come on the next turn, after registration";
    clock.runPending();
    ASSERT_EQ(matched.size(), 1u);
    EXPECT_EQ(matched[0], present);

    HidDevice *later = bus.plug({0x045E, 0x028E, {}}, &endpoint);
    ASSERT_EQ(matched.size(), 2u);
    EXPECT_EQ(matched[1], later);

    bus.unplug(present);
    bus.unplug(bus.devices().first()); // the unmatched 0x3101: no removal callback
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0], present);
}

TEST(HidManager, DeviceLeavingBeforeTheDeferredDeliveryIsNeverAnnounced)
{
    VirtualScheduler clock;
    VirtualHidBus bus(clock);
    NullEndpoint endpoint;
    HidDevice *device = bus.plug({0x2DC8, 0x3100, {}}, &endpoint);
    HidManager manager(bus, clock);
    manager.setDeviceMatchingMultiple({{0x3100, 0x2DC8}});
    int matched = 0;
    int removed = 0;
    manager.registerDeviceMatchingCallback([&](HidDevice *) { ++matched; });
    manager.registerDeviceRemovalCallback([&](HidDevice *) { ++removed; });
    manager.open();
    bus.unplug(device);
    clock.runPending();
    EXPECT_EQ(matched, 0);
    EXPECT_EQ(removed, 0);
}
