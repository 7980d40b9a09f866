#include "boot/Crc.h"

namespace flashwell::crc {

namespace {
// Both are reflected CRC-16s without final XOR; only the polynomial differs.
uint16_t reflected16(std::span<const uint8_t> data, uint16_t crc, uint16_t polynomial)
{
    for (uint8_t byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ polynomial) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}
} // namespace

uint16_t modbus(std::span<const uint8_t> data, uint16_t initial)
{
    return reflected16(data, initial, 0xA001);
}

uint16_t mcrf4xx(std::span<const uint8_t> data, uint16_t initial)
{
    return reflected16(data, initial, 0x8408);
}

} // namespace flashwell::crc
