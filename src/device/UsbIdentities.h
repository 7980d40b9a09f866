#pragma once

#include "platform/HidManager.h"

#include <QList>

#include <array>
#include <cstdint>
#include <span>

// Every USB identity the watchers, the sessions and the lab know, declared once. HidMatch is
// (product ID, vendor ID), the order of the matching lists.
namespace flashwell::usb {

inline constexpr uint16_t kVendorId = 0x2DC8;
// The classic bootloader's second vendor ID.
inline constexpr uint16_t kClassicBorrowedVendorId = 0x0483;
inline constexpr uint16_t kSwitchVendorId = 0x057E;
inline constexpr uint16_t kSonyVendorId = 0x054C;
inline constexpr uint16_t kXinputVendorId = 0x045E;

// Classic bootloaders; the last one frames every report with a leading 0x81.
inline constexpr HidMatch kClassicBootloader{0x5750, kVendorId};
inline constexpr HidMatch kClassicBootloaderBorrowed{0x5750, kClassicBorrowedVendorId};
inline constexpr HidMatch kClassicBootloaderBorrowedAlt{0x5760, kClassicBorrowedVendorId};
inline constexpr HidMatch kClassicBootloaderPrefixFramed{0x3206, kVendorId};
inline constexpr std::array<HidMatch, 4> kClassicBootloaders{
    kClassicBootloader, kClassicBootloaderBorrowed, kClassicBootloaderBorrowedAlt, kClassicBootloaderPrefixFramed};

// Second-generation bootloaders.
inline constexpr HidMatch kSecondGenBootloader{0x3208, kVendorId};
inline constexpr HidMatch kSecondGenBootloaderAlt{0x3002, kVendorId};
inline constexpr std::array<HidMatch, 2> kSecondGenBootloaders{kSecondGenBootloader, kSecondGenBootloaderAlt};

// The HJZ bootloader and the HJZ-family device in its normal mode.
inline constexpr HidMatch kHjzBootloader{0x3209, kVendorId};
inline constexpr HidMatch kHjzDevice{0x2007, kVendorId};

// The borrowed identities of the normal-mode watchers.
inline constexpr HidMatch kXinput{0x028E, kXinputVendorId};
inline constexpr HidMatch kSwitchPro{0x2009, kSwitchVendorId};
inline constexpr HidMatch kSony{0x05C4, kSonyVendorId};
inline constexpr std::array<HidMatch, 2> kVendorModeIdentities{kSwitchPro, kSony};
// The Sony-mode bridge: while it is attached no other D-input device is taken.
inline constexpr HidMatch kSonyBridge{0x0CDA, kSonyVendorId};

// The short frame starts with 0x05 instead of 0x06 on this product.
inline constexpr uint16_t kShortFrame05Pid = 0x9018;

inline constexpr bool is(const HidMatch &identity, uint16_t productId, uint16_t vendorId)
{
    return identity.productId == productId && identity.vendorId == vendorId;
}

inline QList<HidMatch> matching(std::span<const HidMatch> identities)
{
    return {identities.begin(), identities.end()};
}

} // namespace flashwell::usb
