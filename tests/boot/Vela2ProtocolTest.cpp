// Catches: a second-generation request, reply, boot type, address plan or data transform off by a byte.
#include "boot/Vela2Protocol.h"
#include "boot/Crc.h"
#include "boot/FirmwareTransform.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <numeric>
#include <vector>

using namespace flashwell;
using flashwell::test::hex;

TEST(Vela2Protocol, RequestPacketLayout)
{
    const std::vector<uint8_t> data{0x34, 0x12, 0xAA, 0x55};
    const HidReport r = vela2::buildRequest(0x02, 0, data, 4, 4, 0x01017040, true);
    EXPECT_EQ(hex(r, 7), "05 02 00 00 00 04 00");
    EXPECT_EQ(hex(r, 21).substr(27), "04 00 00 00 40 70 01 01 34 12 aa 55");
    EXPECT_EQ(wire::le16(r, 7), crc::modbus(data));
    EXPECT_EQ(r[63], 0);
}

TEST(Vela2Protocol, LengthIsCappedAt46AndOnlyThatMuchDataGoesOut)
{
    std::vector<uint8_t> data(60);
    std::iota(data.begin(), data.end(), uint8_t{1});
    const HidReport r = vela2::buildRequest(0x03, 0, data, 60, 1000, 0x08014000, false);
    EXPECT_EQ(wire::le16(r, 5), 46);
    EXPECT_EQ(r[17 + 45], 46);
    EXPECT_EQ(r[17 + 46], 0) << "byte 63 stays 0";
    EXPECT_EQ(wire::le32(r, 9), 1000u);
}

TEST(Vela2Protocol, ChecksumIs0xFFFFWithoutDataAndZeroWhenUnchecksummed)
{
    EXPECT_EQ(wire::le16(vela2::buildRequest(0x04, 0, {}, 0, 100, 0, true), 7), 0xFFFF);
    EXPECT_EQ(wire::le16(vela2::buildRequest(0x04, 0, {}, 0, 100, 0, false), 7), 0x0000);
    const std::vector<uint8_t> data{1, 2, 3};
    EXPECT_EQ(wire::le16(vela2::buildRequest(0x03, 0, data, 3, 3, 0, false), 7), 0x0000);
    // A length with no buffer still checksums the zero bytes it claims.
    const std::array<uint8_t, 2> zeros{};
    EXPECT_EQ(wire::le16(vela2::buildRequest(0x08, 0, {}, 2, 2, 0, true), 7), crc::modbus(zeros));
}

TEST(Vela2Protocol, ReplyMatchesItsCommandOnly)
{
    HidReport reply = vela2::buildReply(0x05, std::vector<uint8_t>{1, 2});
    EXPECT_TRUE(vela2::isReplyTo(reply, 0x05));
    EXPECT_FALSE(vela2::isReplyTo(reply, 0x08));
    EXPECT_EQ(reply[18], 1);
    reply[2] = 1; // non-zero status
    EXPECT_FALSE(vela2::isReplyTo(reply, 0x05));
    EXPECT_FALSE(vela2::isReplyTo(std::span<const uint8_t>(reply).first(5), 0x05));
}

TEST(Vela2Protocol, BootTypeTableAndSets)
{
    const struct
    {
        uint32_t pid;
        std::optional<int32_t> type;
    } rows[] = {{0x2000, 3},      {0x3010, 1},
                {0x3011, 11},     {0x3012, 9},
                {0x3013, 12},     {0x3016, 14},
                {0x3103, 21},     {0x3105, 5},
                {0x9025, 15},     {0x9026, 16},
                {0x5006, 18},     {0x5111, 8},
                {0x5112, 7},      {0x6003, 0},
                {0x6006, 2},      {0x6007, 10},
                {0x6008, 13},     {0x9018, 20},
                {0x9020, 17},     {0x9029, 19},
                {0x2003, 6},      {0x3014, std::nullopt},
                {0, std::nullopt}};
    for (const auto &row : rows)
        EXPECT_EQ(vela2::bootTypeForPid(row.pid), row.type) << std::hex << row.pid;
    for (int t = 0; t <= 21; ++t) {
        const int families = int{vela2::isChecksummedBootType(t)} + int{vela2::isInfoAddressedBootType(t)};
        EXPECT_LE(families, 1) << "boot type " << t << " is in one family at most";
    }
}

TEST(Vela2Protocol, AddressPlans)
{
    vela2::GamepadInfo info;
    wire::putLe32(info.raw, 32, 0x08003000);
    wire::putLe32(info.raw, 40, 0x08003040);
    const auto checksummed = vela2::addressPlan(15, info);
    EXPECT_EQ(checksummed.bootSerial, 0x01017000u);
    EXPECT_EQ(checksummed.versionWord, 0x01017040u);
    EXPECT_EQ(checksummed.mainImage, 0x01018000u);
    const auto infoAddressed = vela2::addressPlan(21, info);
    EXPECT_EQ(infoAddressed.bootSerial, 0x08003000u);
    EXPECT_EQ(infoAddressed.versionWord, 0x08003040u);
    EXPECT_FALSE(infoAddressed.mainImage);
    const auto fixed = vela2::addressPlan(14, info);
    EXPECT_EQ(fixed.bootSerial, 0x0800001Cu);
    EXPECT_EQ(fixed.versionWord, 0x08014034u);
    EXPECT_EQ(fixed.mainImage, 0x08014000u);
}

TEST(FirmwareTransform, EachOutputWordDependsOnItsWordAndThePreviousOneOnly)
{
    std::array<uint8_t, 512> base{};
    for (std::size_t i = 0; i < base.size(); ++i)
        base[i] = static_cast<uint8_t>(i * 7);
    auto a = base;
    firmware_transform::apply(a, 1024);
    auto b = base;
    b[40] ^= 0x01; // word 10
    firmware_transform::apply(b, 1024);
    for (std::size_t word = 0; word < 128; ++word) {
        const bool same = std::equal(a.begin() + word * 4, a.begin() + word * 4 + 4, b.begin() + word * 4);
        EXPECT_EQ(same, word != 10 && word != 11) << "word " << word;
    }
}

TEST(FirmwareTransform, DependsOnThePositionAndIsDeterministic)
{
    std::array<uint8_t, 512> zeros{};
    auto p0 = zeros;
    auto p0again = zeros;
    auto p512 = zeros;
    firmware_transform::apply(p0, 0);
    firmware_transform::apply(p0again, 0);
    firmware_transform::apply(p512, 512);
    EXPECT_EQ(p0, p0again);
    EXPECT_NE(p0, p512);
    EXPECT_NE(p0, zeros);
}
