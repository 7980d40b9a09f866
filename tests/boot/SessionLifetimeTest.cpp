// Catches: a destroyed session, watcher or context that leaves a callback in a device still plugged.
#include "boot/SHIDBoot.h"
#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "device/SHIDDinput.h"
#include "models/VirtualClassicBootloader.h"
#include "models/VirtualDinputController.h"
#include "models/VirtualHjzBootloader.h"
#include "models/VirtualVela2Bootloader.h"
#include "platform/ApplicationContext.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/TestSupport.h"

using namespace flashwell;
using namespace flashwell::lab;

namespace {

struct LifetimeCase
{
    const char *name;
    std::function<std::unique_ptr<SHIDManager>(PlatformServices)> makeListener;
    std::function<std::unique_ptr<VirtualDeviceModel>(VirtualHidBus &)> makeDevice;
};

// Failure messages name the case instead of dumping its bytes.
[[maybe_unused]] void PrintTo(const LifetimeCase &c, std::ostream *os)
{
    *os << c.name;
}

class SessionLifetime : public ::testing::TestWithParam<LifetimeCase>
{
protected:
    test::ScopedCatalogue catalogue{{test::entry(0x3100, 0x2DC8, 17, "Fenwyk Crane")}};
    VirtualScheduler clock;
    VirtualHidBus bus{clock};
};

} // namespace

// A report from a device whose listener has been destroyed is dropped; it used to be copied into
// the destroyed listener's buffer and handed to its callback.
TEST_P(SessionLifetime, ReportAfterTheListenerIsGoneReachesNothing)
{
    auto device = GetParam().makeDevice(bus);
    auto listener = GetParam().makeListener({&clock, &bus});
    listener->open();
    device->plug();
    clock.runPending();
    ASSERT_TRUE(listener->isListeningTo(device->device())) << "the device was taken up";

    listener.reset();
    HidReport report{};
    report.fill(0x5A);
    bus.sendInput(device->device(), report);
    clock.runUntilIdle();

    // A new listener on the same device still gets its reports.
    auto next = GetParam().makeListener({&clock, &bus});
    next->open();
    clock.runPending();
    ASSERT_TRUE(next->isListeningTo(device->device()));
    bus.sendInput(device->device(), report);
    clock.runUntilIdle();
    next.reset();
    device->unplug();
    clock.runUntilIdle();
}

INSTANTIATE_TEST_SUITE_P(
    Listeners, SessionLifetime,
    ::testing::Values(
        LifetimeCase{"classic", [](PlatformServices s) { return std::make_unique<SHIDBoot>(s); },
                     [](VirtualHidBus &b) { return std::make_unique<VirtualClassicBootloader>(b); }},
        LifetimeCase{"second_generation", [](PlatformServices s) { return std::make_unique<SHIDBootVela2>(s); },
                     [](VirtualHidBus &b) { return std::make_unique<VirtualVela2Bootloader>(b, 0x3012); }},
        LifetimeCase{"hjz", [](PlatformServices s) { return std::make_unique<SHIDBootHJZ>(s); },
                     [](VirtualHidBus &b) { return std::make_unique<VirtualHjzBootloader>(b); }},
        LifetimeCase{"dinput", [](PlatformServices s) { return std::make_unique<SHIDDinput>(s); },
                     [](VirtualHidBus &b) { return std::make_unique<VirtualDinputController>(b, 0x3100); }}),
    [](const auto &row) { return std::string(row.param.name); });

namespace {
struct Probe
{
    Probe(std::vector<int> &into, int number)
        : log(into)
        , id(number)
    {}
    ~Probe() { log.push_back(id); }
    std::vector<int> &log;
    int id;
};
struct FirstProbe : Probe
{
    using Probe::Probe;
};
struct SecondProbe : Probe
{
    using Probe::Probe;
};
} // namespace

TEST(ApplicationContext, OwnsOneOfEachTypeAndDestroysTheLaterFirst)
{
    std::vector<int> destroyed;
    ApplicationContext *outer = &ApplicationContext::current();
    {
        ApplicationContext context;
        EXPECT_EQ(&ApplicationContext::current(), &context);
        FirstProbe &first = context.shared<FirstProbe>([&] { return std::make_unique<FirstProbe>(destroyed, 1); });
        context.shared<SecondProbe>([&] { return std::make_unique<SecondProbe>(destroyed, 2); });
        FirstProbe &again = context.shared<FirstProbe>([&] { return std::make_unique<FirstProbe>(destroyed, 3); });
        EXPECT_EQ(&first, &again) << "one object per type";
        EXPECT_TRUE(destroyed.empty());
    }
    EXPECT_EQ(destroyed, (std::vector<int>{2, 1}));
    EXPECT_EQ(&ApplicationContext::current(), outer) << "the previous context is current again";
}

// The shared session is the context's: it dies with it, before the devices it listened to, and a
// report that comes afterwards reaches nothing.
TEST(ApplicationContext, SharedSessionDiesWithTheContextAndLeavesTheDeviceClean)
{
    VirtualScheduler clock;
    VirtualHidBus bus{clock};
    VirtualVela2Bootloader device(bus, 0x3012);
    {
        ApplicationContext context;
        context.installServices(clock, bus);
        SHIDBootVela2 &session = SHIDBootVela2::sharedInstance();
        EXPECT_EQ(&SHIDBootVela2::sharedInstance(), &session);
        session.open();
        device.plug();
        clock.runPending();
        ASSERT_TRUE(session.isListeningTo(device.device()));
    }
    HidReport report{};
    report.fill(0xA5);
    bus.sendInput(device.device(), report);
    clock.runUntilIdle();
    device.unplug();
    clock.runUntilIdle();
}
