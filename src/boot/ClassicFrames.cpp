#include "boot/ClassicFrames.h"

#include <algorithm>

namespace flashwell::classic {

namespace {
constexpr std::size_t kMemoryHeader = 5; // count, 00, kind, length
constexpr std::size_t kMemoryAddress = 5;
constexpr std::size_t kMemoryWriteData = 9;
constexpr std::size_t kMaxWriteData = kHidReportSize - kMemoryWriteData;

bool framedAs(std::span<const uint8_t> report, std::size_t shift, uint8_t kind)
{
    return wire::u8(report, shift + 1) == 0x00 && wire::u8(report, shift + 2) == kind;
}
} // namespace

std::optional<FirmwareHeader> FirmwareHeader::parse(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kHeaderSize)
        return std::nullopt;
    FirmwareHeader h;
    std::copy_n(bytes.begin(), kHeaderSize, h.raw.begin());
    return h;
}

std::array<uint8_t, kHeaderSize> FirmwareHeader::forWire(bool byteReversedWords) const
{
    auto out = raw;
    if (byteReversedWords) {
        for (std::size_t at : {std::size_t{4}, std::size_t{8}, std::size_t{16}})
            std::reverse(out.begin() + static_cast<std::ptrdiff_t>(at),
                         out.begin() + static_cast<std::ptrdiff_t>(at + 4));
    }
    return out;
}

bool isSupportedByBootloader0105(uint8_t hardwareCode, uint16_t version, uint16_t beta)
{
    if (hardwareCode == 0 || hardwareCode == 1)
        return version > 136;
    if (hardwareCode == 2)
        return version > 502 || (version == 502 && beta == 0);
    return true;
}

std::optional<StatusFrame> parseStatusFrame(std::span<const uint8_t> report, std::size_t shift)
{
    if (report.size() < shift + StatusFrame::kEnd || !framedAs(report, shift, kFramedKind))
        return std::nullopt;
    StatusFrame f;
    f.status = report[shift + StatusFrame::kStatus];
    f.version = wire::le16(report, shift + StatusFrame::kVersion);
    f.beta = report[shift + StatusFrame::kBeta];
    return f;
}

std::optional<DeviceInfo> parseDeviceInfo(std::span<const uint8_t> report, std::size_t shift)
{
    if (report.size() < shift + DeviceInfo::kEnd || !framedAs(report, shift, kInfoKind))
        return std::nullopt;
    const uint32_t word = wire::le32(report, shift + DeviceInfo::kInfoWord);
    DeviceInfo info;
    info.bootloaderVersion = static_cast<uint16_t>(word >> 16);
    info.hardwareCode = static_cast<uint8_t>((word >> 8) & 0xFF);
    info.firmwareType = static_cast<uint8_t>(word & 0xFF);
    return info;
}

std::optional<std::span<const uint8_t>> memoryReadData(std::span<const uint8_t> report)
{
    if (report.size() < kMemoryHeader || !framedAs(report, 0, kMemoryReadKind))
        return std::nullopt;
    const uint16_t length = wire::le16(report, 3);
    const std::size_t m = length >= 4 ? length - 4u : 0u;
    // Never past the end of the report, whatever the length field claims.
    const std::size_t available = report.size() - kMemoryHeader;
    return report.subspan(kMemoryHeader, std::min(m, available));
}

HidReport memoryReadReport(uint16_t lengthField, uint32_t address)
{
    HidReport r{};
    r[0] = 0x08;
    r[1] = 0x00;
    r[2] = kMemoryReadCommand;
    wire::putLe16(r, 3, lengthField);
    wire::putLe32(r, kMemoryAddress, address);
    return r;
}

HidReport memoryWriteReport(uint32_t address, std::span<const uint8_t> data)
{
    const std::size_t n = std::min(data.size(), kMaxWriteData);
    HidReport r{};
    r[0] = static_cast<uint8_t>(n + 8);
    r[1] = 0x00;
    r[2] = kMemoryWriteCommand;
    wire::putLe16(r, 3, static_cast<uint16_t>(n + 4));
    wire::putLe32(r, kMemoryAddress, address);
    std::copy_n(data.begin(), n, r.begin() + kMemoryWriteData);
    return r;
}

HidReport statusFrame(uint8_t status, uint16_t version, uint8_t beta)
{
    HidReport r{};
    r[0] = 10;
    r[1] = 0x00;
    r[2] = kFramedKind;
    wire::putLe16(r, 3, 7);
    r[StatusFrame::kStatus] = status;
    wire::putLe16(r, 6, 3);
    wire::putLe16(r, StatusFrame::kVersion, version);
    r[StatusFrame::kBeta] = beta;
    return r;
}

HidReport deviceInfoFrame(const DeviceInfo &info)
{
    HidReport r{};
    r[0] = static_cast<uint8_t>(DeviceInfo::kEnd - 1);
    r[1] = 0x00;
    r[2] = kInfoKind;
    wire::putLe16(r, 3, static_cast<uint16_t>(DeviceInfo::kEnd - 5));
    wire::putLe32(r, DeviceInfo::kInfoWord, info.word());
    return r;
}

HidReport memoryReadReply(std::span<const uint8_t> data)
{
    const std::size_t n = std::min(data.size(), kHidReportSize - kMemoryHeader);
    HidReport r{};
    r[0] = static_cast<uint8_t>(n + 4);
    r[1] = 0x00;
    r[2] = kMemoryReadKind;
    wire::putLe16(r, 3, static_cast<uint16_t>(n + 4));
    std::copy_n(data.begin(), n, r.begin() + kMemoryHeader);
    return r;
}

} // namespace flashwell::classic
