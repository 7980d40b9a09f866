#pragma once

#include "platform/HidReport.h"

#include <cstdint>
#include <optional>
#include <span>

// The reports the normal-mode watchers send and the replies they read, each with a builder and
// a parser over named offsets: used by SHIDDinput, SHIDSwitchAndMac and the lab's normal-mode
// devices alike.
namespace flashwell::frames {

// The short frame: 06 00 KIND 01 00 VALUE (0x05 first on one product; see transport).
struct ShortFrame
{
    static constexpr std::size_t kLead = 0, kZero = 1, kKind = 2, kOne = 3, kValue = 5, kSize = 6;
    static constexpr uint8_t kLeadByte = 0x06, kLeadByte05 = 0x05;
    uint8_t kind = 0;
    uint8_t value = 0;
};
HidReport buildShortFrame(const ShortFrame &frame, bool lead05);
std::optional<ShortFrame> parseShortFrame(std::span<const uint8_t> report);

// The vendor command of the Switch and Sony identities: REPORT_ID 66 AA 00 COMMAND VALUE.
struct VendorCommand
{
    static constexpr std::size_t kReportId = 0, kMarker = 1, kMagic = 2, kCommand = 4, kValue = 5, kSize = 6;
    static constexpr uint8_t kMarkerByte = 0x66, kMagicByte = 0xAA;
    uint8_t reportId = 0;
    uint8_t command = 0;
    uint8_t value = 0;
};
HidReport buildVendorCommand(const VendorCommand &command);
std::optional<VendorCommand> parseVendorCommand(std::span<const uint8_t> report);

// The 0x81-led extended command: 81 05 00 COMMAND VALUE 00.
struct ExtendedCommand
{
    static constexpr std::size_t kLead = 0, kKind = 1, kCommand = 3, kValue = 4, kSize = 6;
    static constexpr uint8_t kLeadByte = 0x81, kKindByte = 0x05;
    uint8_t command = 0;
    uint8_t value = 0;
};
HidReport buildExtendedCommand(const ExtendedCommand &command);
std::optional<ExtendedCommand> parseExtendedCommand(std::span<const uint8_t> report);

// The D-input version reply, in two layouts that both end with a 16-bit field at byte 6:
//   A: 22, version (16), beta (16), then byte 5 / bytes 5-6 / bytes 6-7 by product;
//   B: 01 (or 22), 22, version (16), beta (8), then bytes 5-6 / bytes 6-7 by product.
// What follows the beta depends on the product (see ProductRules.h), so the parser reads the
// fields of the product it is given.
enum class DinputLayout { A, B };
struct DinputReply
{
    static constexpr uint8_t kMarker = 0x22;
    static constexpr std::size_t kMarkerA = 0, kVersionA = 1, kBetaA = 3;
    static constexpr std::size_t kMarkerB = 1, kVersionB = 2, kBetaB = 4;
    static constexpr std::size_t kSwitchFlag = 5, kTail5 = 5, kTail6 = 6, kSize = 8;

    uint16_t versionHundredths = 0;
    uint16_t beta = 0;                   // 8 bits in layout B
    std::optional<uint16_t> bootVersion; // products that report their bootloader's version
    std::optional<bool> canSwitch;       // layout A, products that report it
    std::optional<uint16_t> subPid;      // layout B, the dual receiver
};
// `bothMarkers` writes the layout-B reply with 0x22 at byte 0 too (read under both layouts).
HidReport buildDinputReply(DinputLayout layout, uint16_t pid, const DinputReply &reply, bool bothMarkers = false);
// Nothing when the report is short or lacks this layout's marker.
std::optional<DinputReply> parseDinputReply(DinputLayout layout, uint16_t pid, std::span<const uint8_t> report);

// The vendor reply: REPORT_ID 66 _ PID (16, big-endian) _ version (16) beta (16) FIELD10 (16).
// FIELD10 is the bootloader version or, in its low byte, the can-switch flag, by product.
struct VendorReply
{
    static constexpr uint8_t kMarkerByte = 0x66;
    static constexpr std::size_t kReportId = 0, kMarker = 1, kPid = 3, kVersion = 6, kBeta = 8, kField10 = 10,
                                 kSize = 12;
    uint8_t reportId = 0;
    uint16_t pid = 0;
    uint16_t versionHundredths = 0;
    uint16_t beta = 0;
    uint16_t field10 = 0;
};
HidReport buildVendorReply(const VendorReply &reply);
// Nothing when the report is short, has another marker or a report ID other than 01, 05, 81.
std::optional<VendorReply> parseVendorReply(std::span<const uint8_t> report);

static_assert(ShortFrame::kSize <= kHidReportSize && VendorCommand::kSize <= kHidReportSize
              && ExtendedCommand::kSize <= kHidReportSize && DinputReply::kSize <= kHidReportSize
              && VendorReply::kSize <= kHidReportSize);
static_assert(DinputReply::kTail6 + 2 == DinputReply::kSize && VendorReply::kField10 + 2 == VendorReply::kSize);

} // namespace flashwell::frames
