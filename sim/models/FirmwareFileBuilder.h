#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <vector>

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

// One image record of a second-generation file.
struct Vela2Record
{
    Vela2Record(uint16_t recordVersion, uint16_t recordBeta, uint32_t recordAddress, uint32_t recordPid,
                QByteArray recordPayload, std::optional<uint32_t> recordLengthOverride = std::nullopt)
        : version(recordVersion)
        , beta(recordBeta)
        , address(recordAddress)
        , pid(recordPid)
        , payload(std::move(recordPayload))
        , lengthOverride(recordLengthOverride)
    {}

    uint16_t version = 100;
    uint16_t beta = 0;
    uint32_t address = 0;
    uint32_t pid = 0; // low 16 bits product ID, high 16 bits sub-type
    QByteArray payload;
    std::optional<uint32_t> lengthOverride;
};
QByteArray buildVela2File(const std::vector<Vela2Record> &records);

// An HJZ file: 64-byte header (device id, total length, page size), the table of page checksums
// (CRC-32 as zlib computes it, over each page's bytes), then the pages.
struct HjzFirmware
{
    uint32_t deviceId = 387;
    uint32_t pageSize = 1024;
    QByteArray data; // whole pages
    std::optional<uint32_t> totalLengthOverride;
    std::optional<uint32_t> pageSizeOverride;

    QByteArray build() const;
};

// Deterministic bytes for test images.
QByteArray patternBytes(int size, uint32_t seed = 1);

} // namespace flashwell::lab
