// Catches: a lab bootloader model whose fault plan leaves the host other answers than it says.
#include "boot/ClassicFrames.h"
#include "boot/HjzProtocol.h"
#include "boot/Vela2Protocol.h"
#include "device/HidTransport.h"
#include "models/VirtualClassicBootloader.h"
#include "models/VirtualHjzBootloader.h"
#include "models/VirtualVela2Bootloader.h"
#include "rigs/SessionRig.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

using namespace flashwell;
using namespace flashwell::lab;

namespace {

// A bootloader model and one request it answers without changing its state.
struct ModelCase
{
    const char *name;
    std::function<std::unique_ptr<VirtualBootloader>(VirtualHidBus &)> make;
    std::function<void(HidDevice *)> ask;
};

// A fault, and when the host sees the answers to two requests sent at 0 and 1000 ms.
struct FaultCase
{
    const char *name;
    BootFaultPlan plan;
    std::vector<int64_t> arrivals;
    bool pluggedAtEnd;
};

BootFaultPlan plan(std::optional<int> BootFaultPlan::*field, int at, int64_t delayMs = 0)
{
    BootFaultPlan p;
    p.*field = at;
    p.delayMs = delayMs;
    return p;
}

const ModelCase kModels[] = {
    {"classic", [](VirtualHidBus &bus) { return std::make_unique<VirtualClassicBootloader>(bus); },
     [](HidDevice *d) { transport::sendFramedPacket(d, transport::kGuard, classic::kCommandVersion, {}); }},
    {"second generation", [](VirtualHidBus &bus) { return std::make_unique<VirtualVela2Bootloader>(bus, 0x9020); },
     [](HidDevice *d) { d->setReport(vela2::buildRequest(vela2::kReadPid, 0, {}, 0, 0, 0, false)); }},
    {"HJZ", [](VirtualHidBus &bus) { return std::make_unique<VirtualHjzBootloader>(bus); },
     [](HidDevice *d) { d->setReport(hjz::commandPacket(hjz::kPageChecksum, 0x08003400)); }},
};

// Every report takes 1 ms each way, so an answer reaches the host 2 ms after its request.
const FaultCase kFaults[] = {
    {"none", {}, {2, 1002}, true},
    {"first answer lost", plan(&BootFaultPlan::dropReplyAt, 1), {1002}, true},
    {"second answer lost", plan(&BootFaultPlan::dropReplyAt, 2), {2}, true},
    {"first answer doubled", plan(&BootFaultPlan::duplicateReplyAt, 1), {2, 2, 1002}, true},
    {"first answer late", plan(&BootFaultPlan::delayReplyAt, 1, 300), {302, 1002}, true},
    {"first answer later than the second", plan(&BootFaultPlan::delayReplyAt, 1, 1500), {1002, 1502}, true},
    {"unplugged on the second request", plan(&BootFaultPlan::unplugAfter, 1), {2}, false},
    {"unplugged on the first request", plan(&BootFaultPlan::unplugAfter, 0), {}, false},
};

class BootFaults : public ::testing::TestWithParam<std::tuple<ModelCase, FaultCase>>, protected VirtualRig
{
};

} // namespace

// Test names and failure messages show the case, not its bytes.
[[maybe_unused]] void PrintTo(const ModelCase &c, std::ostream *os)
{
    *os << c.name;
}
[[maybe_unused]] void PrintTo(const FaultCase &c, std::ostream *os)
{
    *os << c.name;
}

TEST_P(BootFaults, TheHostSeesTheAnswersThePlanLeaves)
{
    const auto &[model, fault] = GetParam();
    std::unique_ptr<VirtualBootloader> device = model.make(bus);
    device->faults = fault.plan;
    HidDevice *host = device->plug();
    ASSERT_EQ(host->open(), kIOReturnSuccess);
    HidReport buffer{};
    std::vector<int64_t> arrivals;
    host->registerInputReportCallback(buffer.data(), buffer.size(), [&](HidDevice *, std::span<const uint8_t>) {
        arrivals.push_back(clock.nowMs());
    });

    model.ask(host);
    clock.advance(1000);
    if (device->device())
        model.ask(device->device());
    clock.advance(2000);

    EXPECT_EQ(arrivals, fault.arrivals);
    EXPECT_EQ(device->device() != nullptr, fault.pluggedAtEnd);
    EXPECT_EQ(device->requests(), fault.plan.unplugAfter == 0 ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(Models, BootFaults,
                         ::testing::Combine(::testing::ValuesIn(kModels), ::testing::ValuesIn(kFaults)),
                         [](const auto &row) {
                             return test::testName(std::string(std::get<0>(row.param).name) + "_"
                                                   + std::get<1>(row.param).name);
                         });
