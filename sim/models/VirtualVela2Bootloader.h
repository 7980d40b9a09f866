#pragma once

#include "boot/Vela2Protocol.h"
#include "device/UsbIdentities.h"
#include "models/VirtualBootloader.h"

#include <optional>

namespace flashwell::lab {

// A second-generation bootloader (USB 0x3208 or 0x3002). Its boot type follows from the product
// ID it reports, through the same table the host uses. It refuses (does not answer) requests
// with a wrong checksum where its boot type has one, keeps a flash memory that erases and writes
// really change, answers the flash CRC request over its flash through the firmware data
// transform, and after the reset comes back in normal mode with the version word it was given.
// Requests are the ones it trusts; writes are chunk writes. A request whose answer the fault plan
// loses is still acted on.
class VirtualVela2Bootloader final : public VirtualBootloader
{
public:
    VirtualVela2Bootloader(VirtualHidBus &bus, uint16_t reportedPid,
                           uint16_t usbPid = usb::kSecondGenBootloader.productId);
    ~VirtualVela2Bootloader() override;

    uint16_t reportedPid;
    vela2::GamepadInfo info;
    std::array<uint8_t, vela2::kBootSerialSize> bootSerial{};
    // The normal-mode identity after the reset (by default the reported product ID).
    std::optional<HidIdentity> normalIdentity;

    // JL variant: application zone address and erase unit reported by 0xC1.
    uint32_t appZone = 0;
    uint32_t eraseUnit = 0;

    int32_t bootType() const;
    bool checksummed() const;
    vela2::AddressPlan plan() const { return vela2::addressPlan(bootType(), info); }
    // Puts the boot serial and a version word where this boot type keeps them.
    void seedFlash(uint32_t versionWord);
    // Where the lab's devices keep their boot serial and version word, for the info-addressed
    // boot types (the release builder needs the same record to place its images).
    static void putLabInfoAddresses(vela2::GamepadInfo &record);
    // The lab's layout: those addresses, and the boot serial "0123456789:;".
    void useLabLayout();
    int rejectedChecksums() const { return m_rejected; }
    bool wasReset() const { return m_reset; }

protected:
    void handleReport(std::span<const uint8_t> report) override;

private:
    uint16_t flashCrc(uint32_t start, uint32_t count) const;

    int m_rejected = 0;
    bool m_reset = false;
};

} // namespace flashwell::lab
