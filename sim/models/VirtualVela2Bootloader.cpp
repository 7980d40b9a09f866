#include "models/VirtualVela2Bootloader.h"
#include "device/UsbIdentities.h"
#include "platform/Bytes.h"

#include "boot/Crc.h"
#include "boot/FirmwareTransform.h"

#include <algorithm>
#include <array>
#include <vector>

namespace flashwell::lab {

namespace {
constexpr uint32_t kChecksummedImageBase = 0x01018000;
} // namespace

VirtualVela2Bootloader::VirtualVela2Bootloader(VirtualHidBus &bus, uint16_t reported, uint16_t usbPid)
    : VirtualBootloader(bus, HidIdentity{usb::kVendorId, usbPid, QStringLiteral("Fenwyk Bootloader")})
    , reportedPid(reported)
{
    info.setProductId(reported);
}

VirtualVela2Bootloader::~VirtualVela2Bootloader() = default;

int32_t VirtualVela2Bootloader::bootType() const
{
    if (vela2::isSummitWired(reportedPid))
        return 6;
    return vela2::bootTypeForPid(reportedPid).value_or(0);
}

bool VirtualVela2Bootloader::checksummed() const
{
    return vela2::isChecksummedBootType(bootType()) || vela2::isJLProductId(reportedPid);
}

void VirtualVela2Bootloader::putLabInfoAddresses(vela2::GamepadInfo &record)
{
    wire::putLe32(record.raw, vela2::GamepadInfo::kBootSerialAddress, 0x08003000);
    wire::putLe32(record.raw, vela2::GamepadInfo::kVersionWordAddress, 0x08003040);
}

void VirtualVela2Bootloader::useLabLayout()
{
    putLabInfoAddresses(info);
    for (std::size_t i = 0; i < bootSerial.size(); ++i)
        bootSerial[i] = static_cast<uint8_t>(0x30 + i);
}

void VirtualVela2Bootloader::seedFlash(uint32_t versionWord)
{
    const vela2::AddressPlan p = plan();
    flash().write(p.bootSerial, bootSerial);
    std::array<uint8_t, 4> word{};
    wire::putLe32(word, 0, versionWord);
    flash().write(p.versionWord, word);
}

uint16_t VirtualVela2Bootloader::flashCrc(uint32_t start, uint32_t count) const
{
    if (vela2::isJLProductId(reportedPid)) {
        // The JL bootloader checks the head of its application zone as stored, no transform.
        const QByteArray head = flash().read(start, count);
        return crc::modbus(bytesOf(head));
    }
    // The host asks by image position: base 0x10000 on 0x9025, 0x4000 on the others.
    const uint32_t base = reportedPid == 0x9025 ? 0x10000 : 0x4000;
    const uint32_t position = start - base;
    const uint32_t chunkAt = position / firmware_transform::kChunkSize * firmware_transform::kChunkSize;
    const QByteArray stored = flash().read(kChecksummedImageBase + chunkAt, firmware_transform::kChunkSize);
    std::array<uint8_t, firmware_transform::kChunkSize> chunk{};
    std::copy_n(stored.begin(), std::min<qsizetype>(stored.size(), chunk.size()), chunk.begin());
    firmware_transform::apply(std::span<uint8_t, firmware_transform::kChunkSize>(chunk), chunkAt);
    if (chunkAt == 0)
        std::fill(chunk.begin() + 2, chunk.begin() + 6, 0xFF); // kept erased until the image is accepted
    const uint32_t within = position - chunkAt;
    const uint32_t n = std::min<uint32_t>(count, firmware_transform::kChunkSize - within);
    return crc::modbus(std::span<const uint8_t>(chunk).subspan(within, n));
}

void VirtualVela2Bootloader::handleReport(std::span<const uint8_t> r)
{
    if (m_reset || r.size() < vela2::Request::kData || r[0] != 0x05)
        return;
    const uint16_t command = wire::le16(r, vela2::Request::kCommand);
    const uint16_t length = wire::le16(r, vela2::Request::kLength);
    const uint32_t total = wire::le32(r, vela2::Request::kTotalLength);
    const uint32_t address = wire::le32(r, vela2::Request::kAddress);
    const auto data = r.subspan(vela2::Request::kData, std::min<std::size_t>(length, vela2::kMaxData));
    // The product ID read comes before the host can know the boot type, so it is taken either way.
    const bool verified = command != vela2::kReadPid && checksummed();
    if (verified && wire::le16(r, vela2::Request::kChecksum) != vela2::requestChecksum(data, true)) {
        ++m_rejected;
        return; // a bootloader answers nothing it cannot trust
    }
    if (!takeRequest())
        return;
    auto answerWith = [&](std::span<const uint8_t> payload) { answer(vela2::buildReply(command, payload)); };

    switch (command) {
    case vela2::kReadPid: {
        std::array<uint8_t, 2> pid{};
        wire::putLe16(pid, 0, reportedPid);
        answerWith(pid);
        break;
    }
    case vela2::kGamepadInfo:
        answerWith(info.raw);
        break;
    case vela2::kRead: {
        const QByteArray bytes = flash().read(address, std::min<uint32_t>(length, vela2::kMaxData));
        answerWith(bytesOf(bytes));
        break;
    }
    case vela2::kErase:
        flash().erase(address, total);
        answerWith({});
        break;
    case vela2::kWriteChunk:
    case vela2::kWrite: {
        std::vector<uint8_t> bytes(data.begin(), data.end());
        if (command == vela2::kWriteChunk && takeWrite() && !bytes.empty())
            bytes[bytes.size() / 2] ^= 0x01;
        flash().write(address, bytes);
        answerWith({});
        break;
    }
    case vela2::kFlashCrc: {
        std::array<uint8_t, 2> crc{};
        wire::putLe16(crc, 0, flashCrc(wire::le32(data, 0), wire::le32(data, 4)));
        answerWith(crc);
        break;
    }
    case vela2::kJlInfo: {
        std::array<uint8_t, 16> payload{};
        wire::putLe32(payload, 0, appZone);
        wire::putLe32(payload, 12, eraseUnit);
        answerWith(payload);
        break;
    }
    case vela2::kJlSaveHead:
        answerWith({});
        break;
    case vela2::kReset: {
        m_reset = true;
        const QByteArray word = flash().read(plan().versionWord, 4);
        const auto bytes = bytesOf(word);
        VirtualDinputController &normal = returnToNormalMode(
            normalIdentity.value_or(HidIdentity{usb::kVendorId, reportedPid, QStringLiteral("Fenwyk Controller")}));
        normal.versionHundredths = wire::le16(bytes, 0);
        normal.beta = wire::le16(bytes, 2);
        break;
    }
    default:
        break;
    }
}

} // namespace flashwell::lab
