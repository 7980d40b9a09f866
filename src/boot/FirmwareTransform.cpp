#include "boot/FirmwareTransform.h"

#include "platform/HidReport.h"

#include <array>
#include <bit>

namespace flashwell::firmware_transform {

namespace {

// Our key material. Any fixed values work as long as host and device share them.
constexpr uint16_t kMask = 0x5A3C;          // M
constexpr uint32_t kIncrement = 0x9E3779B9; // D

constexpr std::array<uint16_t, 256> makeTable()
{
    std::array<uint16_t, 256> table{};
    uint32_t state = 0x2DC85750;
    for (auto &entry : table) {
        state = state * 1664525u + 1013904223u; // a fixed linear congruential sequence
        entry = static_cast<uint16_t>(state >> 16);
    }
    return table;
}
constexpr std::array<uint16_t, 256> kTable = makeTable(); // S

} // namespace

void apply(std::span<uint8_t, kChunkSize> chunk, uint32_t p)
{
    const uint32_t s = p + (p >> 8) + (p >> 16) + (p >> 24);
    const uint32_t keyed = s ^ kMask;
    uint32_t x = (static_cast<uint32_t>(kTable[(keyed >> 8) & 0xFF]) << 16) | kTable[keyed & 0xFF];
    const uint32_t a = (p >> 20) + p + (p << 12);
    uint32_t h = (a << 15) + a + (a >> 17);
    uint32_t f = 0;
    for (std::size_t at = 0; at < kChunkSize; at += 4) {
        const uint32_t w = wire::le32(chunk, at);
        wire::putLe32(chunk, at, x ^ h ^ f ^ w);
        x = std::rotr(x, 16);
        h += kIncrement;
        f = std::rotr(w, 18);
    }
}

} // namespace flashwell::firmware_transform
