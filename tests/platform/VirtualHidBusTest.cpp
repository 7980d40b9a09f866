// Catches: a virtual bus that delivers out of virtual time, to an unplugged device, or faults the wrong report.
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <memory>
#include <vector>

using namespace flashwell;
using flashwell::test::report;

namespace {

// Echoes every output report back with its first byte incremented.
class EchoEndpoint final : public VirtualHidEndpoint
{
public:
    explicit EchoEndpoint(VirtualHidBus &bus)
        : m_bus(bus)
    {}
    void onOutputReport(HidDevice *device, std::span<const uint8_t> r) override
    {
        received.emplace_back(r.begin(), r.end());
        HidReport answer{};
        std::copy(r.begin(), r.end(), answer.begin());
        answer[0] = static_cast<uint8_t>(answer[0] + 1);
        m_bus.sendInput(device, answer);
    }
    std::vector<std::vector<uint8_t>> received;

private:
    VirtualHidBus &m_bus;
};

class VirtualHidBusTest : public ::testing::Test
{
protected:
    VirtualHidBusTest()
        : bus(clock)
        , endpoint(bus)
    {
        device = bus.plug({0x2DC8, 0x3100, QStringLiteral("Fenwyk Crane")}, &endpoint);
        device->open();
        device->registerInputReportCallback(buffer.data(), buffer.size(),
                                            [this](HidDevice *, std::span<const uint8_t> r) {
                                                inputs.emplace_back(r.begin(), r.end());
                                                arrivals.push_back(clock.nowMs());
                                            });
    }

    VirtualScheduler clock;
    VirtualHidBus bus;
    EchoEndpoint endpoint;
    HidDevice *device = nullptr;
    HidReport buffer{};
    std::vector<std::vector<uint8_t>> inputs;
    std::vector<int64_t> arrivals;
};

} // namespace

TEST_F(VirtualHidBusTest, ReportsTravelThroughVirtualTimeAndAreRecorded)
{
    EXPECT_EQ(device->property(kHidProductKey).toString(), QStringLiteral("Fenwyk Crane"));
    EXPECT_EQ(device->setReport(report({0x10, 0xAA})), kIOReturnSuccess);
    EXPECT_TRUE(endpoint.received.empty()) << "nothing moves until time does";
    clock.advance(10);
    ASSERT_EQ(inputs.size(), 1u);
    EXPECT_EQ(inputs[0][0], 0x11);
    EXPECT_EQ(inputs[0][1], 0xAA);
    EXPECT_EQ(arrivals[0], 2 * bus.latencyMs());
    ASSERT_EQ(bus.outputLog().size(), 1u);
    EXPECT_EQ(bus.outputLog()[0].productId, 0x3100);
    EXPECT_EQ(bus.outputLog()[0].bytes[0], 0x10);
}

TEST_F(VirtualHidBusTest, ReportInFlightToAnUnpluggedDeviceIsLost)
{
    device->setReport(report({0x01}));
    bus.unplug(device);
    clock.advance(10);
    EXPECT_TRUE(endpoint.received.empty());
    EXPECT_TRUE(inputs.empty());
}

struct FaultCase
{
    const char *what;
    HidFault fault;
    std::size_t deviceReceives;
    std::vector<uint8_t> heard; // the answers' first bytes, in the order they reach the host
    IOReturn secondSendResult;
};

// Failure messages name the case instead of dumping its bytes.
[[maybe_unused]] void PrintTo(const FaultCase &c, std::ostream *os)
{
    *os << c.what;
}

class VirtualHidBusFaults : public VirtualHidBusTest, public ::testing::WithParamInterface<FaultCase>
{
};

TEST_P(VirtualHidBusFaults, FaultHitsTheCountedReportOnly)
{
    const FaultCase &c = GetParam();
    bus.injectFault(c.fault);
    EXPECT_EQ(device->setReport(report({0x01})), kIOReturnSuccess);
    EXPECT_EQ(device->setReport(report({0x02})), c.secondSendResult);
    EXPECT_EQ(device->setReport(report({0x03})), kIOReturnSuccess);
    clock.advance(1000);
    EXPECT_EQ(endpoint.received.size(), c.deviceReceives) << c.what;
    std::vector<uint8_t> heard;
    for (const auto &input : inputs)
        heard.push_back(input[0]);
    EXPECT_EQ(heard, c.heard) << c.what;
}

using K = HidFault::Kind;
using D = HidFault::Direction;
INSTANTIATE_TEST_SUITE_P(
    Kinds, VirtualHidBusFaults,
    ::testing::Values(FaultCase{"drop out", {K::Drop, D::HostToDevice, 2}, 2, {2, 4}, kIOReturnSuccess},
                      FaultCase{"drop in", {K::Drop, D::DeviceToHost, 2}, 3, {2, 4}, kIOReturnSuccess},
                      FaultCase{"duplicate out", {K::Duplicate, D::HostToDevice, 2}, 4, {2, 3, 3, 4}, kIOReturnSuccess},
                      FaultCase{"fail send", {K::FailSend, D::HostToDevice, 2}, 2, {2, 4}, kIOReturnError},
                      // A delayed reply arrives after later ones.
                      FaultCase{"delay in", {K::Delay, D::DeviceToHost, 1, 500}, 3, {3, 4, 2}, kIOReturnSuccess}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

TEST_F(VirtualHidBusTest, CorruptFlipsTheChosenByte)
{
    bus.injectFault({K::Corrupt, D::HostToDevice, 1, 0, 5});
    device->setReport(report({0x01, 0, 0, 0, 0, 0x0F}));
    clock.advance(10);
    ASSERT_EQ(endpoint.received.size(), 1u);
    EXPECT_EQ(endpoint.received[0][5], 0xF0);
    // The host's own record keeps what was sent.
    EXPECT_EQ(bus.outputLog()[0].bytes[5], 0x0F);
}

TEST_F(VirtualHidBusTest, UnplugFaultRemovesTheDeviceWithoutPullingItFromUnderTheSender)
{
    HidDeviceRef ref(device);
    bus.injectFault({K::Unplug, D::HostToDevice, 2});
    device->setReport(report({0x01}));
    clock.advance(5);
    EXPECT_EQ(device->setReport(report({0x02})), kIOReturnSuccess);
    EXPECT_FALSE(ref.isNull()) << "still alive inside the send";
    clock.advance(10);
    EXPECT_TRUE(ref.isNull());
    EXPECT_EQ(endpoint.received.size(), 1u);
}

TEST_F(VirtualHidBusTest, EmptyInputReportReachesTheCallbackAsEmpty)
{
    bus.sendInput(device, std::span<const uint8_t>());
    clock.advance(5);
    ASSERT_EQ(inputs.size(), 1u);
    EXPECT_TRUE(inputs[0].empty());
    EXPECT_EQ(buffer, HidReport{}) << "the rest of the buffer is cleared";
}

// Unregistering lets go of the callback and what it holds (its owner may be on its way out), and
// the device delivers to nobody from then on.
TEST_F(VirtualHidBusTest, UnregisteredCallbackIsReleasedAndHearsNothing)
{
    QObject owner;
    auto held = std::make_shared<int>(0);
    const std::weak_ptr<int> watch = held;
    device->registerInputReportCallback(
        buffer.data(), buffer.size(), [held](HidDevice *, std::span<const uint8_t>) { ++*held; }, &owner);
    held.reset();
    device->unregisterInputReportCallback(&owner);
    EXPECT_TRUE(watch.expired()) << "the callback is still held";
    bus.sendInput(device, report({0x01}));
    clock.advance(5);
    EXPECT_TRUE(inputs.empty());
}

// A registration without a buffer, of no length or without a callback delivers nothing and leaves
// the buffer alone.
TEST_F(VirtualHidBusTest, IncompleteRegistrationDeliversNothing)
{
    int calls = 0;
    const HidDevice::InputReportCallback count = [&](HidDevice *, std::span<const uint8_t>) { ++calls; };
    const struct
    {
        const char *what;
        uint8_t *buffer;
        std::size_t length;
        bool callback;
    } cases[] = {
        {"no buffer", nullptr, 64, true},
        {"no length", buffer.data(), 0, true},
        {"no callback", buffer.data(), buffer.size(), false},
    };
    for (const auto &c : cases) {
        buffer.fill(0xEE);
        device->registerInputReportCallback(c.buffer, c.length, c.callback ? count : nullptr);
        bus.sendInput(device, report({0x01}));
        clock.advance(5);
        EXPECT_EQ(calls, 0) << c.what;
        EXPECT_EQ(buffer[0], 0xEE) << c.what << ": the buffer was written";
    }
    EXPECT_TRUE(inputs.empty());
}
