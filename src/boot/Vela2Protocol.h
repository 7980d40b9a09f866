#pragma once

#include "platform/HidReport.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// The second-generation bootloader's tables and wire formats, declared once and shared by the
// session and the lab.
namespace flashwell::vela2 {

// Command codes (request command field and reply echo field).
enum Command : uint16_t {
    kWrite = 0x02,
    kWriteChunk = 0x03,
    kErase = 0x04,
    kRead = 0x05,
    kReset = 0x07,
    kReadPid = 0x08,
    kGamepadInfo = 0xC0,
    kJlInfo = 0xC1,
    kJlSaveHead = 0xC2,
    kFlashCrc = 0xC3,
};

// What a command does, for messages: "erase", "chunk write", ...
const char *commandName(uint16_t command);

inline constexpr std::size_t kMaxData = 46;
inline constexpr std::size_t kReplyPayload = 18;
inline constexpr std::size_t kGamepadInfoSize = 44;
inline constexpr std::size_t kBootSerialSize = 12;

// The boot type for a bootloader's product ID, or none for an unlisted one.
std::optional<int32_t> bootTypeForPid(uint32_t pid);
bool isSummitWired(uint32_t pid);
bool isJLProductId(uint32_t pid);

// What a boot type means for the session, every rule in one row. Types not listed have none.
struct BootTypeTraits
{
    bool checksummed = false;          // requests carry a CRC-16; fixed addresses at 0x0101xxxx
    bool infoAddressed = false;        // boot serial and version word come from the gamepad info record
    bool skipsFirstRecord = false;     // the file starts with a record that is not this device's
    bool searchesRecords = false;      // the main record is found by the gamepad info's search key
    bool radioStage = false;           // a radio image follows the main one when the file holds one
    bool emptyFileUnsupported = false; // a file with no header at all is "not supported", not an error
    bool roundsMainErase = false;      // the main erase length is rounded up to whole 32 KiB units
    bool roundsRadioErase = false;     // ... and the radio erase length too
    uint32_t radioVersionAddress = 0x80010004;
    uint32_t radioRecordKey = 0; // the pid field of the radio record
};
BootTypeTraits traitsOf(int32_t bootType);

// The single rules, read from the table.
bool isChecksummedBootType(int32_t bootType);
bool isInfoAddressedBootType(int32_t bootType);
bool skipsFirstRecord(int32_t bootType);
bool searchesRecords(int32_t bootType);
bool hasRadioStage(int32_t bootType);

// The 44-byte gamepad info record (reply payload of 0xC0).
struct GamepadInfo
{
    static constexpr std::size_t kProductId = 0, kSubType = 2, kVersion = 4, kBeta = 6, kBootSerialAddress = 32,
                                 kVersionWordAddress = 40;
    std::array<uint8_t, kGamepadInfoSize> raw{};

    uint16_t productId() const { return wire::le16(raw, kProductId); }
    void setProductId(uint16_t pid) { wire::putLe16(raw, kProductId, pid); }
    uint8_t subType() const { return raw[kSubType]; }
    uint16_t version() const { return wire::le16(raw, kVersion); }
    uint16_t beta() const { return wire::le16(raw, kBeta); }
    uint32_t bootSerialAddress() const { return wire::le32(raw, kBootSerialAddress); }
    uint32_t versionWordAddress() const { return wire::le32(raw, kVersionWordAddress); }
    // The record search key: product ID + sub-type x 0x10000.
    uint32_t searchKey() const { return productId() + subType() * 0x10000u; }
};

// Where a boot type keeps its boot serial, its version word and its main image.
struct AddressPlan
{
    uint32_t bootSerial = 0;
    uint32_t versionWord = 0;
    // Base of the main image; info-addressed types write at the image header's own address.
    std::optional<uint32_t> mainImage;
};
AddressPlan addressPlan(int32_t bootType, const GamepadInfo &info);

// One request packet: 05, command, parameter, data length (capped at 46), checksum, total length,
// address, data.
struct Request
{
    static constexpr std::size_t kCommand = 1, kParameter = 3, kLength = 5, kChecksum = 7, kTotalLength = 9,
                                 kAddress = 13, kData = 17;
};
HidReport buildRequest(uint16_t command, uint16_t parameter, std::span<const uint8_t> data, uint32_t length,
                       uint32_t totalLength, uint32_t address, bool checksummed);
// The checksum a request must carry: CRC-16/MODBUS of its data, 0xFFFF with no data; 0 when
// the boot type has none.
uint16_t requestChecksum(std::span<const uint8_t> data, bool checksummed);

// True when `report` answers a request with `command`: 00 05, status 0, echo = command.
bool isReplyTo(std::span<const uint8_t> report, uint16_t command);
HidReport buildReply(uint16_t command, std::span<const uint8_t> payload);

} // namespace flashwell::vela2
