// Second-generation session: the JL-chip path. Addresses count from the application zone, the
// image in front of it is not written, erases go in the bootloader's units, and the update ends
// with a CRC of the zone's first 4096 bytes.
#include "boot/SHIDBootVela2.h"

#include <algorithm>

namespace flashwell {

namespace {
constexpr std::size_t kZoneAt = vela2::kReplyPayload;           // application zone address
constexpr std::size_t kEraseUnitAt = vela2::kReplyPayload + 12; // erase unit in bytes
} // namespace

void SHIDBootVela2::updateJL(uint32_t reportedPid)
{
    BootReadFlash({}, 0, 0, 0, vela2::kJlInfo, [this, reportedPid](std::span<const uint8_t> reply) {
        const uint32_t zone = wire::le32(reply, kZoneAt);
        const uint32_t unit = wire::le32(reply, kEraseUnitAt);
        if (!imageCheck())
            return;
        appZoneAddr = zone;
        if (reportedPid != m_mainHeader.pid()) {
            fail(QString::asprintf("Firmware Error: \n pid : %x m_firmwareHeader.pid: %x ", reportedPid,
                                   m_mainHeader.pid()));
            return;
        }
        if (zone > m_mainHeader.length()) {
            // The zone would start past the image: nothing of it could be written.
            fail(QStringLiteral("application zone 0x%1 lies past the end of the %2-byte image")
                     .arg(zone, 0, 16)
                     .arg(m_mainHeader.length()));
            return;
        }
        m_mainLength = m_mainHeader.length() - zone;
        wire::putLe32(m_mainHeader.raw, classic::FirmwareHeader::kTotalLength, m_mainLength);
        const uint32_t units = unit == 0 ? 0 : static_cast<uint32_t>((uint64_t{unit} + m_mainLength - 1) / unit);
        // With no unit to erase (an empty zone) the count stays 0 rather than wrapping around.
        eraseFlashJL_eraseUnitSize(0, unit, units == 0 ? 0 : units - 1);
    });
}

void SHIDBootVela2::eraseFlashJL_eraseUnitSize(uint32_t address, uint32_t eraseUnit, uint32_t blockCount)
{
    eraseFlashJL_len_TotalEraseLen(address, eraseUnit, static_cast<uint32_t>(uint64_t{blockCount} * eraseUnit));
}

void SHIDBootVela2::eraseFlashJL_len_TotalEraseLen(uint32_t address, uint32_t length, uint32_t endAddress)
{
    BootReadFlash({}, 0, address, length, vela2::kErase, [this, address, length, endAddress](std::span<const uint8_t>) {
        if (address < endAddress) {
            eraseFlashJL_len_TotalEraseLen(address + length, length, endAddress);
            return;
        }
        // Erased: skip the image bytes in front of the application zone.
        if (!pfile || pfile->read(appZoneAddr).size() != static_cast<qsizetype>(appZoneAddr)) {
            fail(QStringLiteral("firmware file ends before the application zone at 0x%1").arg(appZoneAddr, 0, 16));
            return;
        }
        writeFirmwareJL();
    });
}

void SHIDBootVela2::writeFirmwareJL()
{
    if (offset >= m_mainLength) {
        reportMainProgress();
        writeSave_Head_4K();
        return;
    }
    // JL addresses count from the application zone: no base.
    sendMainChunk(0, [this] { writeFirmwareJL(); });
}

} // namespace flashwell
