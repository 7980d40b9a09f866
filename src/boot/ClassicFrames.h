#pragma once

#include "platform/HidReport.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// The classic bootloader's wire formats, declared once and shared by the session and the lab.
namespace flashwell::classic {

inline constexpr std::size_t kHeaderSize = 28;
inline constexpr std::size_t kPieceSize = 32;
inline constexpr uint8_t kCommandData = 0x00;
inline constexpr uint8_t kCommandHeader = 0x01;
inline constexpr uint8_t kCommandFinish = 0x02;
inline constexpr uint8_t kCommandVersion = 0x04;
inline constexpr uint8_t kInfoRequestKind = 0x1A;
inline constexpr uint8_t kStatusVersion = 4;
inline constexpr uint8_t kStatusAcknowledge = 20;
inline constexpr uint8_t kFramedKind = 0x16;
inline constexpr uint8_t kInfoKind = 0x19;
inline constexpr uint8_t kMemoryReadKind = 0x14;
inline constexpr uint8_t kMemoryReadCommand = 0x31;
inline constexpr uint8_t kMemoryWriteCommand = 0x32;
inline constexpr uint32_t kSettingsAddress = 0x08003000;
inline constexpr std::size_t kSettingsSize = 40;
inline constexpr uint16_t kFirstReadLength = 0x001B;
inline constexpr std::size_t kMaxReadPiece = 27;

// The 28-byte header at the start of a classic file and of every second-generation image record.
struct FirmwareHeader
{
    static constexpr std::size_t kVersion = 0, kBeta = 2, kAddress = 4, kTotalLength = 8, kProductId = 12;

    std::array<uint8_t, kHeaderSize> raw{};

    uint16_t version() const { return wire::le16(raw, kVersion); }
    uint16_t beta() const { return wire::le16(raw, kBeta); }
    uint32_t address() const { return wire::le32(raw, kAddress); }
    uint32_t totalLength() const { return wire::le32(raw, kTotalLength); }
    uint32_t productId() const { return wire::le32(raw, kProductId); }
    // The names a second-generation image record gives the same fields.
    uint32_t versionWord() const { return wire::le32(raw, kVersion); }
    uint32_t length() const { return totalLength(); }
    uint32_t pid() const { return productId(); }

    static std::optional<FirmwareHeader> parse(std::span<const uint8_t> bytes);
    // The header as it goes out: the 0x81-framed identity takes the words at 4, 8 and 16
    // byte-reversed.
    std::array<uint8_t, kHeaderSize> forWire(bool byteReversedWords) const;
};

// Bootloader 0x0105 refuses some firmware by hardware code, version and beta.
bool isSupportedByBootloader0105(uint8_t hardwareCode, uint16_t version, uint16_t beta);

// Status frame: count, 00 16, length, status, data length, version (status 4), beta.
struct StatusFrame
{
    static constexpr std::size_t kStatus = 5, kVersion = 8, kBeta = 10, kEnd = 11;
    uint8_t status = 0;
    uint16_t version = 0;
    uint8_t beta = 0;
};
// `shift` is 1 for the 0x81-framed identity, else 0.
std::optional<StatusFrame> parseStatusFrame(std::span<const uint8_t> report, std::size_t shift);

// Device info frame: count, 00 19, length, 36 bytes, info word at 41.
struct DeviceInfo
{
    static constexpr std::size_t kInfoWord = 41, kEnd = 45;
    uint16_t bootloaderVersion = 0;
    uint8_t hardwareCode = 0;
    uint8_t firmwareType = 0;
    uint32_t word() const
    {
        return (static_cast<uint32_t>(bootloaderVersion) << 16) | (static_cast<uint32_t>(hardwareCode) << 8)
               | firmwareType;
    }
};
std::optional<DeviceInfo> parseDeviceInfo(std::span<const uint8_t> report, std::size_t shift);

// Memory read reply (never shifted): the m data bytes it carries, cut to the report.
std::optional<std::span<const uint8_t>> memoryReadData(std::span<const uint8_t> report);

HidReport memoryReadReport(uint16_t lengthField, uint32_t address);
// count, 00 32, data length + 4, address, data; at most 55 data bytes.
HidReport memoryWriteReport(uint32_t address, std::span<const uint8_t> data);

// Frames the device sends (the lab builds them with these).
HidReport statusFrame(uint8_t status, uint16_t version = 0, uint8_t beta = 0);
HidReport deviceInfoFrame(const DeviceInfo &info);
HidReport memoryReadReply(std::span<const uint8_t> data);

} // namespace flashwell::classic
