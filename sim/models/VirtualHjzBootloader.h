#pragma once

#include "models/VirtualBootloader.h"

#include <optional>

namespace flashwell::lab {

// An HJZ bootloader (USB 0x3209). The first erase after it arrives carries the page address with
// each byte negated; the packets that follow an erase fill that page; 0xE4 closes it; 0xE5 answers
// with the CRC-32 (zlib's) of the page's bytes, little-endian at reply bytes 4-7. Requests are
// commands; writes are data packets. It does not reset into normal mode by itself.
class VirtualHjzBootloader final : public VirtualBootloader
{
public:
    VirtualHjzBootloader(VirtualHidBus &bus, uint32_t flashBase = 0x08003400, uint32_t pageSize = 1024,
                         uint32_t packetsPerPage = 16);

    uint32_t flashBase;
    uint32_t pageSize;
    uint32_t packetsPerPage;
    // The device id the host uses instead of the file's, which sets the page layout.
    std::optional<uint32_t> deviceId;

    int erases() const { return m_erases; }
    // The page layout of the file's device id (or `deviceId`) and the file's page size.
    void fitToFirmware(const QString &path) override;

protected:
    void handleReport(std::span<const uint8_t> report) override;

private:
    bool m_started = false;
    std::optional<uint32_t> m_openPage;
    uint32_t m_packetsLeft = 0;
    uint32_t m_cursor = 0;
    int m_erases = 0;
};

} // namespace flashwell::lab
