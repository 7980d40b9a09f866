#pragma once

#include "device/UsbIdentities.h"
#include "platform/HidDevice.h"
#include "platform/HidReport.h"

#include <cstdint>
#include <span>
#include <vector>

// The 64-byte output report layouts every protocol uses, and the routines that send them.
// Identities are read from the device on every call, never cached.
namespace flashwell::transport {

// Every layout-building sender takes this value as its guard; any other sends nothing.
inline constexpr int kGuard = 0x97;
inline constexpr uint16_t kVendorId = usb::kVendorId;
inline constexpr uint16_t kPrefixFramedPid = usb::kClassicBootloaderPrefixFramed.productId; // 0x81 prefix framing
inline constexpr uint16_t kShortFrame05Pid = usb::kShortFrame05Pid; // short frame starts with 0x05
inline constexpr std::size_t kMaxPacketData = 1017;

struct Identity
{
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    bool prefixFramed() const { return vendorId == kVendorId && productId == kPrefixFramedPid; }
    bool shortFrame05() const { return vendorId == kVendorId && productId == kShortFrame05Pid; }
};

// Fills `out` only when the property exists and is a number.
bool readNumberProperty(const HidDevice *device, const QString &key, int32_t &out);
int32_t readVendorID(const HidDevice *device);
int32_t readProductID(const HidDevice *device);
Identity identityOf(const HidDevice *device);

// --- builders (pure) ---
HidReport buildVendorCommand(uint8_t reportId, uint8_t command, uint8_t value);
HidReport buildShortFrame(const Identity &id, uint8_t kind, uint8_t value);
// The reports of one framed packet: one for a non-data command, chunks for command 0. Empty
// when the packet cannot be sent (data longer than 1017 bytes, or a non-data packet that does
// not fit one report).
std::vector<HidReport> buildFramedPacket(const Identity &id, uint8_t command, std::span<const uint8_t> data);
// 0x81 followed by the first 63 bytes of `report`.
HidReport applyPrefixFraming(const HidReport &report);

// --- senders ---
// Sends 64 bytes as they are; 0 without sending for a null device.
IOReturn chk_iohiddev(HidDevice *device, const uint8_t *report, std::size_t length);
IOReturn Updatep(HidDevice *device, int guard, uint8_t command, uint8_t reportId);
IOReturn UpdatepWithValue(HidDevice *device, int guard, uint8_t command, uint8_t reportId, uint8_t value);
IOReturn sendShortFrame(HidDevice *device, int guard, uint8_t kind, uint8_t value);
// A failed chunk of a data command (command 0) posts "updateErrorNotification" and stops.
IOReturn sendFramedPacket(HidDevice *device, int guard, uint8_t command, std::span<const uint8_t> data);

inline const char *const kUpdateErrorNotification = "updateErrorNotification";

} // namespace flashwell::transport
