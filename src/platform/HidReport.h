#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace flashwell {

// Every output report we send and every input report we read is 64 bytes.
inline constexpr std::size_t kHidReportSize = 64;
using HidReport = std::array<uint8_t, kHidReportSize>;

// IOKit-style result codes; the sessions compare against these values.
using IOReturn = int32_t;
inline constexpr IOReturn kIOReturnSuccess = 0;
inline constexpr IOReturn kIOReturnError = static_cast<IOReturn>(0xE00002BC);

// Wire numbers go through these helpers, never through pointer casts. Reads outside the
// span yield 0 so a short reply can never make us read past its end.
namespace wire {

inline uint8_t u8(std::span<const uint8_t> b, std::size_t at)
{
    return at < b.size() ? b[at] : 0;
}

inline uint16_t le16(std::span<const uint8_t> b, std::size_t at)
{
    return static_cast<uint16_t>(u8(b, at) | (u8(b, at + 1) << 8));
}

inline uint16_t be16(std::span<const uint8_t> b, std::size_t at)
{
    return static_cast<uint16_t>((u8(b, at) << 8) | u8(b, at + 1));
}

inline uint32_t le32(std::span<const uint8_t> b, std::size_t at)
{
    return static_cast<uint32_t>(le16(b, at)) | (static_cast<uint32_t>(le16(b, at + 2)) << 16);
}

inline void putLe16(std::span<uint8_t> b, std::size_t at, uint16_t v)
{
    if (at + 2 > b.size())
        return;
    b[at] = static_cast<uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline void putLe32(std::span<uint8_t> b, std::size_t at, uint32_t v)
{
    putLe16(b, at, static_cast<uint16_t>(v & 0xFFFF));
    putLe16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

} // namespace wire
} // namespace flashwell
