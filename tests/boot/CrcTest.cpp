// Catches: a CRC with the wrong polynomial, start value or chaining.
#include "boot/Crc.h"
#include "platform/Bytes.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace flashwell;

namespace {
std::span<const uint8_t> bytes(std::string_view s)
{
    return bytesOf(s);
}
} // namespace

// The published check values: the CRC of the ASCII text "123456789".
TEST(Crc, CatalogueCheckValues)
{
    EXPECT_EQ(crc::modbus(bytes("123456789")), 0x4B37);
    EXPECT_EQ(crc::mcrf4xx(bytes("123456789")), 0x6F91);
}

TEST(Crc, EmptyInputIsTheInitialValueAndRunsChain)
{
    EXPECT_EQ(crc::modbus({}), 0xFFFF);
    EXPECT_EQ(crc::mcrf4xx({}), 0xFFFF);
    // Feeding in two parts gives the same as feeding at once.
    EXPECT_EQ(crc::mcrf4xx(bytes("6789"), crc::mcrf4xx(bytes("12345"))), 0x6F91);
    EXPECT_EQ(crc::modbus(bytes("6789"), crc::modbus(bytes("12345"))), 0x4B37);
}
