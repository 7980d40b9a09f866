#pragma once

#include <cstdint>
#include <span>

namespace flashwell::crc {

// CRC-16/MODBUS: polynomial 0x8005 reflected (0xA001), initial 0xFFFF, no final XOR.
uint16_t modbus(std::span<const uint8_t> data, uint16_t initial = 0xFFFF);
// CRC-16/MCRF4XX: polynomial 0x1021 reflected (0x8408), initial 0xFFFF, no final XOR.
uint16_t mcrf4xx(std::span<const uint8_t> data, uint16_t initial = 0xFFFF);

// CRC-32 (ISO-HDLC, as zlib's crc32): polynomial 0x04C11DB7 reflected, initial and final XOR
// 0xFFFFFFFF. `previous` chains calls like zlib's.
uint32_t crc32(std::span<const uint8_t> data, uint32_t previous = 0);

} // namespace flashwell::crc
