#include "boot/Crc.h"

#include <array>

namespace flashwell::crc {

namespace {
// Both are reflected CRC-16s without final XOR; only the polynomial differs. One table lookup
// per byte instead of eight shifts: every request packet and every verified chunk goes through here.
constexpr std::array<uint16_t, 256> makeTable(uint16_t polynomial)
{
    std::array<uint16_t, 256> table{};
    for (unsigned n = 0; n < 256; ++n) {
        auto crc = static_cast<uint16_t>(n);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ polynomial) : static_cast<uint16_t>(crc >> 1);
        table[n] = crc;
    }
    return table;
}

constexpr auto kModbus = makeTable(0xA001);
constexpr auto kMcrf4xx = makeTable(0x8408);

uint16_t reflected16(std::span<const uint8_t> data, uint16_t crc, const std::array<uint16_t, 256> &table)
{
    for (uint8_t byte : data)
        crc = static_cast<uint16_t>((crc >> 8) ^ table[(crc ^ byte) & 0xFF]);
    return crc;
}
} // namespace

uint16_t modbus(std::span<const uint8_t> data, uint16_t initial)
{
    return reflected16(data, initial, kModbus);
}

uint16_t mcrf4xx(std::span<const uint8_t> data, uint16_t initial)
{
    return reflected16(data, initial, kMcrf4xx);
}

uint32_t crc32(std::span<const uint8_t> data, uint32_t previous)
{
    static constexpr auto kTable = [] {
        std::array<uint32_t, 256> table{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
            table[n] = c;
        }
        return table;
    }();
    uint32_t crc = ~previous;
    for (uint8_t byte : data)
        crc = (crc >> 8) ^ kTable[(crc ^ byte) & 0xFF];
    return ~crc;
}

} // namespace flashwell::crc
