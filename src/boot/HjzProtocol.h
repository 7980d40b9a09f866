#pragma once

#include "platform/HidReport.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <span>

// The HJZ bootloader's packets, firmware file and page geometry, shared by the session and the lab.
namespace flashwell::hjz {

enum Command : uint8_t {
    kErasePage = 0xE3,
    kEndPage = 0xE4,
    kPageChecksum = 0xE5,
};

inline constexpr std::size_t kHeaderSize = 64;
inline constexpr std::size_t kPacketSize = 64;
inline constexpr std::size_t kChecksumAt = 4; // reply bytes 4..7

// A5 c 5A (FF - c), address at 4 (each byte negated for the erase that starts an update), and
// byte 8 = 1 for the checksum request.
HidReport commandPacket(uint8_t command, uint32_t address, bool negatedAddress = false);
// The page address carried by an erase, whichever form it came in (the lab decodes with it).
uint32_t negatedAddress(uint32_t address);

// Which pages are written first and where the flash starts, by device id.
struct PageSettings
{
    uint32_t currentPage = 16;
    uint32_t firstPage = 1;
    uint32_t packetsPerPage = 16;
    uint32_t flashBase = 0x08003400;
};
// Settings for device id 386 or 387 (the first page becomes the current one); none for others.
std::optional<PageSettings> settingsForDevice(uint32_t deviceId);

// The 64-byte header and the layout it implies.
struct FileLayout
{
    static constexpr std::size_t kDeviceId = 0, kTotalLength = 8, kPageSize = 12;
    uint32_t deviceId = 0;
    uint32_t totalLength = 0;
    uint32_t pageSize = 0;
    uint32_t pageCount = 0;

    qint64 checksumAt(uint32_t page) const { return kHeaderSize + 4 * qint64{page}; }
    qint64 packetAt(uint32_t page, uint32_t packet) const
    {
        return kHeaderSize + 4 * qint64{pageCount} + qint64{page} * pageSize + qint64{packet} * kPacketSize;
    }
};
// Parses and checks a header against the file size and the page settings that will be used:
// refuses a page size of 0, a total that is not whole pages, a table or pages past the end of the
// file, and pages the settings would read that the file does not hold. Returns the reason.
std::optional<FileLayout> parseHeader(std::span<const uint8_t> header, qint64 fileSize, QString &whyNot);
bool fitsSettings(const FileLayout &layout, const PageSettings &settings, qint64 fileSize, QString &whyNot);

} // namespace flashwell::hjz
