// Catches: a classic frame, header word order, memory command or 0105 compatibility rule off by a byte.
#include "boot/ClassicFrames.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace flashwell;
using flashwell::test::hex;

TEST(ClassicFrames, Bootloader0105CompatibilityTable)
{
    const struct
    {
        uint8_t hw;
        uint16_t version;
        uint16_t beta;
        bool ok;
    } rows[] = {
        {0, 136, 0, false}, {0, 137, 0, true},  {1, 136, 0, false}, {1, 137, 5, true}, {2, 501, 0, false},
        {2, 502, 0, true},  {2, 502, 1, false}, {2, 503, 1, true},  {3, 1, 1, true},   {255, 0, 0, true},
    };
    for (const auto &r : rows)
        EXPECT_EQ(classic::isSupportedByBootloader0105(r.hw, r.version, r.beta), r.ok)
            << "hw " << int(r.hw) << " v " << r.version << " b " << r.beta;
}

TEST(ClassicFrames, HeaderWordsAreReversedForTheFramedIdentity)
{
    classic::FirmwareHeader h;
    for (std::size_t i = 0; i < h.raw.size(); ++i)
        h.raw[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(h.version(), 0x0100);
    EXPECT_EQ(h.address(), 0x07060504u);
    EXPECT_EQ(h.totalLength(), 0x0B0A0908u);
    EXPECT_EQ(h.forWire(false), h.raw);
    const auto reversed = h.forWire(true);
    const std::array<uint8_t, 28> expected = {0,  1,  2,  3,  7,  6,  5,  4,  11, 10, 9,  8,  12, 13,
                                              14, 15, 19, 18, 17, 16, 20, 21, 22, 23, 24, 25, 26, 27};
    EXPECT_EQ(reversed, expected);
    EXPECT_FALSE(classic::FirmwareHeader::parse(std::span<const uint8_t>(h.raw).first(27)));
}

TEST(ClassicFrames, FramesParseAtTheirShiftAndNeverPastTheReport)
{
    const HidReport status = classic::statusFrame(4, 502, 3);
    const auto f = classic::parseStatusFrame(status, 0);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->status, 4);
    EXPECT_EQ(f->version, 502);
    EXPECT_EQ(f->beta, 3);
    EXPECT_FALSE(classic::parseStatusFrame(status, 1)) << "the unshifted frame is not read one byte later";
    EXPECT_FALSE(classic::parseStatusFrame(std::span<const uint8_t>(status).first(10), 0)) << "too short";

    const HidReport info = classic::deviceInfoFrame({0x0105, 2, 200});
    const auto i = classic::parseDeviceInfo(info, 0);
    ASSERT_TRUE(i);
    EXPECT_EQ(i->bootloaderVersion, 0x0105);
    EXPECT_EQ(i->hardwareCode, 2);
    EXPECT_EQ(i->firmwareType, 200);
    EXPECT_FALSE(classic::parseDeviceInfo(std::span<const uint8_t>(info).first(44), 0));
}

TEST(ClassicFrames, MemoryReadReplyIsCutToTheReport)
{
    HidReport reply{};
    reply[1] = 0x00;
    reply[2] = 0x14;
    wire::putLe16(reply, 3, 0xFFFF); // claims far more than 64 bytes
    const auto data = classic::memoryReadData(reply);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->size(), 59u);
    wire::putLe16(reply, 3, 2); // less than its own 4-byte overhead
    EXPECT_EQ(classic::memoryReadData(reply)->size(), 0u);
}

TEST(ClassicFrames, MemoryCommandGoldenBytes)
{
    EXPECT_EQ(hex(classic::memoryReadReport(0x001B, classic::kSettingsAddress), 10), "08 00 31 1b 00 00 30 00 08 00");
    std::array<uint8_t, 40> block{};
    block[0] = 0xAB;
    block[39] = 0xCD;
    const HidReport w = classic::memoryWriteReport(classic::kSettingsAddress, block);
    EXPECT_EQ(hex(w, 10), "30 00 32 2c 00 00 30 00 08 ab");
    EXPECT_EQ(w[48], 0xCD);
    EXPECT_EQ(w[49], 0x00);
}
