#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>

namespace flashwell::lab {

// Builds firmware files for tests, benchmarks and flashwell-lab.
struct ClassicFirmware
{
    uint16_t version = 100;
    uint16_t beta = 0;
    uint32_t address = 0x08004000;
    uint32_t productId = 0;
    QByteArray data;
    // Header fields 16..27, passed through to the device.
    QByteArray extra = QByteArray(12, '\0');
    // A header length that disagrees with the data (for the faulty-file cases).
    std::optional<uint32_t> totalLengthOverride;

    QByteArray build() const;
};

// Deterministic bytes for test images.
QByteArray patternBytes(int size, uint32_t seed = 1);

} // namespace flashwell::lab
