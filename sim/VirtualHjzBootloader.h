#pragma once

#include "FlashMemory.h"
#include "VirtualDeviceModel.h"

#include <optional>

namespace flashwell::lab {

// An HJZ bootloader (USB 0x3209). The first erase after it arrives carries the page address with
// each byte negated; the packets that follow an erase fill that page; 0xE4 closes it; 0xE5 answers
// with the CRC-32 (zlib's) of the page's bytes, little-endian at reply bytes 4-7.
class VirtualHjzBootloader final : public VirtualDeviceModel
{
public:
    VirtualHjzBootloader(VirtualHidBus &bus, uint32_t flashBase = 0x08003400, uint32_t pageSize = 1024,
                         uint32_t packetsPerPage = 16);

    uint32_t flashBase;
    uint32_t pageSize;
    uint32_t packetsPerPage;

    // Faults: 1-based counts of commands, and of data packets for corrupt-write.
    std::optional<int> dropReplyAt;
    std::optional<int> corruptWriteAt;
    std::optional<int> unplugAfter;

    const FlashMemory &flash() const { return m_flash; }
    int erases() const { return m_erases; }

protected:
    void handleReport(std::span<const uint8_t> report) override;

private:
    FlashMemory m_flash;
    bool m_started = false;
    std::optional<uint32_t> m_openPage;
    uint32_t m_packetsLeft = 0;
    uint32_t m_cursor = 0;
    int m_commands = 0;
    int m_packets = 0;
    int m_erases = 0;
};

} // namespace flashwell::lab
