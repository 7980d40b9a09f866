#include "boot/HjzProtocol.h"

namespace flashwell::hjz {

uint32_t negatedAddress(uint32_t address)
{
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k) {
        const uint32_t byte = (address >> (8 * k)) & 0xFF;
        out |= ((256 - byte) & 0xFF) << (8 * k);
    }
    return out;
}

HidReport commandPacket(uint8_t command, uint32_t address, bool negated)
{
    HidReport r{};
    r[0] = 0xA5;
    r[1] = command;
    r[2] = 0x5A;
    r[3] = static_cast<uint8_t>(0xFF - command);
    if (command != kEndPage)
        wire::putLe32(r, 4, negated ? negatedAddress(address) : address);
    r[8] = command == kPageChecksum ? 0x01 : 0x00;
    return r;
}

std::optional<PageSettings> settingsForDevice(uint32_t deviceId)
{
    if (deviceId == 387)
        return PageSettings{1, 1, 16, 0x08003400};
    if (deviceId == 386)
        return PageSettings{16, 16, 8, 0};
    return std::nullopt;
}

std::optional<FileLayout> parseHeader(std::span<const uint8_t> header, qint64 fileSize, QString &whyNot)
{
    if (header.size() < kHeaderSize) {
        whyNot = QStringLiteral("HJZ file header is %1 bytes, needs 64").arg(header.size());
        return std::nullopt;
    }
    FileLayout l;
    l.deviceId = wire::le32(header, FileLayout::kDeviceId);
    l.totalLength = wire::le32(header, FileLayout::kTotalLength);
    l.pageSize = wire::le32(header, FileLayout::kPageSize);
    if (l.pageSize == 0) {
        whyNot = QStringLiteral("HJZ file header gives page size 0");
        return std::nullopt;
    }
    if (l.totalLength % l.pageSize != 0) {
        whyNot = QStringLiteral("HJZ data length %1 is not a whole number of %2-byte pages")
                     .arg(l.totalLength)
                     .arg(l.pageSize);
        return std::nullopt;
    }
    l.pageCount = l.totalLength / l.pageSize;
    const qint64 end = kHeaderSize + 4 * qint64{l.pageCount} + qint64{l.totalLength};
    if (end > fileSize) {
        whyNot = QStringLiteral("HJZ checksum table and pages run to byte %1, past the end of the file (%2 bytes)")
                     .arg(end)
                     .arg(fileSize);
        return std::nullopt;
    }
    return l;
}

bool fitsSettings(const FileLayout &l, const PageSettings &s, qint64 fileSize, QString &whyNot)
{
    if (s.firstPage >= l.pageCount || s.currentPage >= l.pageCount) {
        whyNot =
            QStringLiteral("HJZ file has %1 pages; the device starts at page %2").arg(l.pageCount).arg(s.currentPage);
        return false;
    }
    const qint64 lastRead = l.packetAt(l.pageCount - 1, 0) + qint64{s.packetsPerPage} * kPacketSize;
    if (s.packetsPerPage > 0 && lastRead > fileSize) {
        whyNot = QStringLiteral("HJZ pages of %1 bytes hold fewer than %2 packets of 64 bytes")
                     .arg(l.pageSize)
                     .arg(s.packetsPerPage);
        return false;
    }
    return true;
}

} // namespace flashwell::hjz
