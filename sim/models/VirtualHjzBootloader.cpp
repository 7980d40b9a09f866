#include "models/VirtualHjzBootloader.h"
#include "device/UsbIdentities.h"
#include "platform/Bytes.h"

#include "boot/Crc.h"
#include "boot/HjzProtocol.h"

#include <QFile>

#include <vector>

namespace flashwell::lab {

VirtualHjzBootloader::VirtualHjzBootloader(VirtualHidBus &bus, uint32_t base, uint32_t size, uint32_t packets)
    : VirtualBootloader(bus, HidIdentity{usb::kHjzBootloader.vendorId, usb::kHjzBootloader.productId,
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
        if (takeWrite())
            bytes[10] ^= 0x01;
        flash().write(*m_openPage + m_cursor, bytes);
        m_cursor += hjz::kPacketSize;
        --m_packetsLeft;
        return;
    }
    const bool command = r[0] == 0xA5 && r[2] == 0x5A && r[3] == static_cast<uint8_t>(0xFF - r[1]);
    if (!command)
        return;
    if (!takeRequest())
        return;
    HidReport response{};
    response[0] = 0xA5;
    response[1] = r[1];
    const uint32_t address = wire::le32(r, 4);
    switch (r[1]) {
    case hjz::kErasePage: {
        const uint32_t page = m_started ? address : hjz::negatedAddress(address);
        m_started = true;
        flash().erase(page, pageSize);
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
        const QByteArray page = flash().read(address, pageSize);
        wire::putLe32(response, hjz::kChecksumAt, crc::crc32(bytesOf(page)));
        break;
    }
    default:
        return;
    }
    answer(response);
}

void VirtualHjzBootloader::fitToFirmware(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray header = file.read(hjz::kHeaderSize);
    if (header.size() < static_cast<qsizetype>(hjz::kHeaderSize))
        return;
    const auto bytes = bytesOf(header);
    const hjz::PageSettings geometry =
        hjz::settingsForDevice(deviceId.value_or(wire::le32(bytes, hjz::FileLayout::kDeviceId)))
            .value_or(hjz::PageSettings{});
    flashBase = geometry.flashBase;
    packetsPerPage = geometry.packetsPerPage;
    if (const uint32_t size = wire::le32(bytes, hjz::FileLayout::kPageSize); size != 0)
        pageSize = size;
}

} // namespace flashwell::lab
