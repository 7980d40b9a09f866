#include "VirtualHjzBootloader.h"
#include "device/UsbIdentities.h"
#include "platform/Bytes.h"

#include "boot/Crc.h"
#include "boot/HjzProtocol.h"

#include <vector>

namespace flashwell::lab {

VirtualHjzBootloader::VirtualHjzBootloader(VirtualHidBus &bus, uint32_t base, uint32_t size, uint32_t packets)
    : VirtualDeviceModel(bus, HidIdentity{usb::kHjzBootloader.vendorId, usb::kHjzBootloader.productId,
                                          QStringLiteral("Fenwyk HJZ Bootloader")})
    , flashBase(base)
    , pageSize(size)
    , packetsPerPage(packets)
{}

void VirtualHjzBootloader::handleReport(std::span<const uint8_t> r)
{
    if (r.size() < hjz::kPacketSize)
        return;
    // After an erase the page's packets arrive as raw data, whatever they look like.
    if (m_openPage && m_packetsLeft > 0) {
        std::vector<uint8_t> bytes(r.begin(), r.begin() + hjz::kPacketSize);
        if (corruptWriteAt && ++m_packets == *corruptWriteAt)
            bytes[10] ^= 0x01;
        m_flash.write(*m_openPage + m_cursor, bytes);
        m_cursor += hjz::kPacketSize;
        --m_packetsLeft;
        return;
    }
    const bool command = r[0] == 0xA5 && r[2] == 0x5A && r[3] == static_cast<uint8_t>(0xFF - r[1]);
    if (!command)
        return;
    ++m_commands;
    if (unplugAfter && m_commands > *unplugAfter) {
        unplug();
        return;
    }
    const bool drop = dropReplyAt && m_commands == *dropReplyAt;
    HidReport answer{};
    answer[0] = 0xA5;
    answer[1] = r[1];
    const uint32_t address = wire::le32(r, 4);
    switch (r[1]) {
    case hjz::kErasePage: {
        const uint32_t page = m_started ? address : hjz::negatedAddress(address);
        m_started = true;
        m_flash.erase(page, pageSize);
        m_openPage = page;
        m_packetsLeft = packetsPerPage;
        m_cursor = 0;
        ++m_erases;
        break;
    }
    case hjz::kEndPage:
        m_packetsLeft = 0;
        break;
    case hjz::kPageChecksum: {
        const QByteArray page = m_flash.read(address, pageSize);
        wire::putLe32(answer, hjz::kChecksumAt, crc::crc32(bytesOf(page)));
        break;
    }
    default:
        return;
    }
    if (!drop)
        reply(answer);
}

} // namespace flashwell::lab
