// Catches: an HJZ command packet, page setting or header check that reads past the file.
#include "boot/HjzProtocol.h"
#include "boot/Crc.h"
#include "platform/Bytes.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <string_view>

using namespace flashwell;
using flashwell::test::hex;

TEST(HjzProtocol, CommandPackets)
{
    EXPECT_EQ(hex(hjz::commandPacket(hjz::kErasePage, 0x08003800), 10), "a5 e3 5a 1c 00 38 00 08 00 00");
    EXPECT_EQ(hex(hjz::commandPacket(hjz::kEndPage, 0x08003800), 10), "a5 e4 5a 1b 00 00 00 00 00 00");
    EXPECT_EQ(hex(hjz::commandPacket(hjz::kPageChecksum, 0x08003800), 10), "a5 e5 5a 1a 00 38 00 08 01 00");
    // The starting erase negates each address byte.
    EXPECT_EQ(hex(hjz::commandPacket(hjz::kErasePage, 0x08003800, true), 8), "a5 e3 5a 1c 00 c8 00 f8");
    EXPECT_EQ(hjz::negatedAddress(hjz::negatedAddress(0x12345678)), 0x12345678u);
}

TEST(HjzProtocol, PageSettingsByDeviceId)
{
    const auto d387 = hjz::settingsForDevice(387);
    ASSERT_TRUE(d387);
    EXPECT_EQ(d387->firstPage, 1u);
    EXPECT_EQ(d387->currentPage, 1u);
    EXPECT_EQ(d387->packetsPerPage, 16u);
    EXPECT_EQ(d387->flashBase, 0x08003400u);
    const auto d386 = hjz::settingsForDevice(386);
    ASSERT_TRUE(d386);
    EXPECT_EQ(d386->firstPage, 16u);
    EXPECT_EQ(d386->packetsPerPage, 8u);
    EXPECT_EQ(d386->flashBase, 0u);
    EXPECT_FALSE(hjz::settingsForDevice(385));
}

namespace {
std::array<uint8_t, 64> header(uint32_t id, uint32_t total, uint32_t pageSize)
{
    std::array<uint8_t, 64> h{};
    wire::putLe32(h, 0, id);
    wire::putLe32(h, 8, total);
    wire::putLe32(h, 12, pageSize);
    return h;
}
} // namespace

TEST(HjzProtocol, HeaderChecksRefuseWhatWouldReadPastTheFile)
{
    QString why;
    const auto ok = hjz::parseHeader(header(387, 65536, 1024), 64 + 256 + 65536, why);
    ASSERT_TRUE(ok) << qPrintable(why);
    EXPECT_EQ(ok->pageCount, 64u);
    EXPECT_EQ(ok->packetAt(0, 0), 320);
    EXPECT_EQ(ok->packetAt(1, 2), 320 + 1024 + 128);
    EXPECT_EQ(ok->checksumAt(3), 76);

    const struct
    {
        const char *what;
        std::array<uint8_t, 64> h;
        qint64 size;
        const char *reason;
    } refused[] = {
        {"page size 0", header(387, 1024, 0), 100'000, "page size 0"},
        {"partial page", header(387, 1500, 1024), 100'000, "not a whole number"},
        {"pages past the end", header(387, 65536, 1024), 64 + 256 + 65535, "past the end"},
        {"table past the end", header(387, 1u << 31, 1), 1000, "past the end"},
    };
    for (const auto &r : refused) {
        EXPECT_FALSE(hjz::parseHeader(r.h, r.size, why)) << r.what;
        EXPECT_TRUE(why.contains(QString::fromLatin1(r.reason))) << r.what << ": " << qPrintable(why);
    }
    EXPECT_FALSE(hjz::parseHeader(std::span<const uint8_t>(header(387, 0, 1)).first(63), 100, why));

    // Settings that start at a page the file does not hold, or read more than a page holds.
    const auto small = hjz::parseHeader(header(386, 8 * 512, 512), 64 + 32 + 4096, why);
    ASSERT_TRUE(small);
    EXPECT_FALSE(hjz::fitsSettings(*small, *hjz::settingsForDevice(386), 64 + 32 + 4096, why)) << "first page 16 of 8";
    const auto tight = hjz::parseHeader(header(387, 4 * 512, 512), 64 + 16 + 2048, why);
    ASSERT_TRUE(tight);
    EXPECT_FALSE(hjz::fitsSettings(*tight, *hjz::settingsForDevice(387), 64 + 16 + 2048, why))
        << "16 packets of a 512-byte page";
}

TEST(Crc, Crc32MatchesZlibCheckValue)
{
    constexpr std::string_view text = "123456789";
    EXPECT_EQ(crc::crc32(bytesOf(text)), 0xCBF43926u);
    EXPECT_EQ(crc::crc32({}), 0u);
    const auto first = crc::crc32(bytesOf(text).first(4));
    EXPECT_EQ(crc::crc32(bytesOf(text).subspan(4), first), 0xCBF43926u);
}
