// Catches: a transport report framed, numbered or chunked wrongly, or sent despite a wrong guard.
#include "device/HidTransport.h"
#include "platform/NotificationCenter.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <numeric>
#include <vector>

using namespace flashwell;
using flashwell::test::hex;

namespace {

class NullEndpoint final : public VirtualHidEndpoint
{
public:
    void onOutputReport(HidDevice *, std::span<const uint8_t>) override {}
};

class TransportTest : public ::testing::Test
{
protected:
    HidDevice *plug(uint16_t pid, uint16_t vid = 0x2DC8) { return bus.plug({vid, pid, {}}, &endpoint); }
    std::vector<std::string> sent(std::size_t count = 12) const
    {
        std::vector<std::string> out;
        for (const auto &r : bus.outputLog())
            out.push_back(hex(r.bytes, count));
        return out;
    }
    bool restIsZero(std::size_t from) const
    {
        for (const auto &r : bus.outputLog())
            for (std::size_t i = from; i < kHidReportSize; ++i)
                if (r.bytes[i] != 0)
                    return false;
        return true;
    }

    VirtualScheduler clock;
    VirtualHidBus bus{clock};
    NullEndpoint endpoint;
};

std::vector<uint8_t> sequence(std::size_t n)
{
    std::vector<uint8_t> data(n);
    std::iota(data.begin(), data.end(), uint8_t{1});
    return data;
}

} // namespace

// The version query and the 32-byte data command of both classic identities are pinned, all 64
// bytes, by the classic recordings.
TEST_F(TransportTest, ShortFrames)
{
    transport::sendShortFrame(plug(0x9018), transport::kGuard, 0x21, 0);
    transport::sendShortFrame(plug(0x3100), transport::kGuard, 0x21, 0);
    transport::sendShortFrame(plug(0x3206), transport::kGuard, 0x1A, 0);
    // 0x9018 under another vendor ID is an ordinary device.
    transport::sendShortFrame(plug(0x9018, 0x1234), transport::kGuard, 0x50, 7);
    EXPECT_EQ(sent(7), (std::vector<std::string>{"05 00 21 01 00 00 00", "06 00 21 01 00 00 00", "81 06 00 1a 01 00 00",
                                                 "06 00 50 01 00 07 00"}));
    EXPECT_TRUE(restIsZero(7));
}

TEST_F(TransportTest, WrongGuardSendsNothing)
{
    HidDevice *d = plug(0x3100);
    EXPECT_EQ(transport::Updatep(d, 0x96, 0x21, 0x01), kIOReturnError);
    EXPECT_EQ(transport::UpdatepWithValue(d, 0, 0x21, 0x01, 1), kIOReturnError);
    EXPECT_EQ(transport::sendShortFrame(d, 0x98, 0x21, 0), kIOReturnError);
    EXPECT_EQ(transport::sendFramedPacket(d, 151 + 256, 0x04, {}), kIOReturnError);
    EXPECT_TRUE(bus.outputLog().empty());
}

TEST_F(TransportTest, NullDeviceSendsNothingAndSucceeds)
{
    const auto data = sequence(100);
    EXPECT_EQ(transport::Updatep(nullptr, transport::kGuard, 0x21, 0x01), kIOReturnSuccess);
    EXPECT_EQ(transport::sendShortFrame(nullptr, transport::kGuard, 0x21, 0), kIOReturnSuccess);
    EXPECT_EQ(transport::sendFramedPacket(nullptr, transport::kGuard, 0, data), kIOReturnSuccess);
    EXPECT_EQ(transport::chk_iohiddev(nullptr, data.data(), 64), kIOReturnSuccess);
}

struct ChunkCase
{
    uint16_t pid;
    std::size_t dataBytes;
    std::vector<std::size_t> reportCounts; // packet bytes carried by each report
};

// Failure messages name the case instead of dumping its bytes.
[[maybe_unused]] void PrintTo(const ChunkCase &c, std::ostream *os)
{
    *os << flashwell::test::pidName(c.pid) << " with " << c.dataBytes << " data bytes";
}

class DataCommandChunking : public TransportTest, public ::testing::WithParamInterface<ChunkCase>
{
};

// Reassembles the packet from the reports and checks it, whatever the framing.
TEST_P(DataCommandChunking, PacketIsSplitAndReassemblesExactly)
{
    const ChunkCase &c = GetParam();
    const auto data = sequence(c.dataBytes);
    transport::sendFramedPacket(plug(c.pid), transport::kGuard, 0x00, data);
    const bool prefixed = c.pid == 0x3206;
    std::vector<uint8_t> packet;
    std::vector<std::size_t> counts;
    for (const auto &r : bus.outputLog()) {
        const std::size_t base = prefixed ? 1 : 0;
        if (prefixed) {
            EXPECT_EQ(r.bytes[0], 0x81);
        }
        counts.push_back(r.bytes[base]);
        packet.insert(packet.end(), r.bytes.begin() + static_cast<std::ptrdiff_t>(base + 1),
                      r.bytes.begin() + static_cast<std::ptrdiff_t>(base + 1 + r.bytes[base]));
    }
    EXPECT_EQ(counts, c.reportCounts);
    ASSERT_GE(packet.size(), 7u);
    EXPECT_EQ(packet[0], 0x00);
    EXPECT_EQ(packet[1], 0x16);
    EXPECT_EQ(wire::le16(packet, 2), c.dataBytes + 3);
    EXPECT_EQ(packet[4], 0x00);
    EXPECT_EQ(wire::le16(packet, 5), c.dataBytes);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), packet.begin() + 7));
    EXPECT_EQ(packet.size(), c.dataBytes + (prefixed ? 8 : 7));
}

INSTANTIATE_TEST_SUITE_P(Sizes, DataCommandChunking,
                         ::testing::Values(ChunkCase{0x5750, 32, {39}}, ChunkCase{0x5750, 33, {39, 1}},
                                           ChunkCase{0x5750, 71, {39, 39}}, ChunkCase{0x5750, 72, {39, 39, 1}},
                                           ChunkCase{0x3206, 32, {40}}, ChunkCase{0x3206, 33, {40, 1}},
                                           ChunkCase{0x3206, 72, {40, 40}}),
                         [](const auto &row) {
                             return flashwell::test::pidName(row.param.pid) + "_bytes"
                                    + std::to_string(row.param.dataBytes);
                         });

TEST_F(TransportTest, NonDataCommandThatDoesNotFitIsRefused)
{
    HidDevice *d = plug(0x5750);
    EXPECT_EQ(transport::sendFramedPacket(d, transport::kGuard, 0x01, sequence(56)), kIOReturnSuccess);
    EXPECT_EQ(transport::sendFramedPacket(d, transport::kGuard, 0x01, sequence(57)), kIOReturnError);
    HidDevice *framed = plug(0x3206);
    EXPECT_EQ(transport::sendFramedPacket(framed, transport::kGuard, 0x01, sequence(55)), kIOReturnSuccess);
    EXPECT_EQ(transport::sendFramedPacket(framed, transport::kGuard, 0x01, sequence(56)), kIOReturnError);
    EXPECT_EQ(transport::sendFramedPacket(d, transport::kGuard, 0x00, sequence(1018)), kIOReturnError);
    EXPECT_EQ(bus.outputLog().size(), 2u);
    EXPECT_EQ(bus.outputLog()[0].bytes[0], 63);
}

TEST_F(TransportTest, FailedChunkPostsUpdateErrorAndStops)
{
    QObject observer;
    int errors = 0;
    NotificationCenter::defaultCenter().addObserver(&observer, QStringLiteral("updateErrorNotification"),
                                                    [&] { ++errors; });
    bus.injectFault({HidFault::Kind::FailSend, HidFault::Direction::HostToDevice, 2});
    EXPECT_EQ(transport::sendFramedPacket(plug(0x5750), transport::kGuard, 0x00, sequence(100)), kIOReturnError);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(bus.outputLog().size(), 1u) << "no chunk after the failed one";
}

TEST_F(TransportTest, IdentityReadersUseNumericPropertiesOnly)
{
    HidDevice *d = plug(0x3206);
    EXPECT_EQ(transport::readVendorID(d), 0x2DC8);
    EXPECT_EQ(transport::readProductID(d), 0x3206);
    int32_t out = 42;
    EXPECT_FALSE(transport::readNumberProperty(d, kHidProductKey, out)); // absent
    EXPECT_EQ(out, 42);
    EXPECT_EQ(transport::readVendorID(nullptr), 0);
}
