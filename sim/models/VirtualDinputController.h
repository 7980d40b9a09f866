#pragma once

#include "device/UsbIdentities.h"
#include "models/VirtualDeviceModel.h"

namespace flashwell::lab {

// A controller in its normal (D-input) mode: answers the version query (short frame 0x21) in
// reply layout A, B or both, and switches to its bootloader on the 0x50 short frame or the
// 0x81-led 0x51 report.
class VirtualDinputController final : public VirtualDeviceModel
{
public:
    enum class Layout { A, B, Both };

    VirtualDinputController(VirtualHidBus &bus, uint16_t pid, uint16_t vid = usb::kVendorId,
                            QString product = QStringLiteral("Fenwyk Controller"));

    Layout layout = Layout::A;
    uint16_t versionHundredths = 100; // 1.00
    uint16_t beta = 0;
    bool canSwitch = true;    // layout A byte 5 for 0x3100/0x3102/0x3104
    uint16_t bootVersion = 0; // 0x6000, 0x6001, 0x6002
    uint16_t subPid = 0;      // layout B byte 6 for 0x3109
    bool answersQueries = true;

    // The version reply this device sends, for tests that check the layouts themselves.
    HidReport versionReply() const;

protected:
    void handleReport(std::span<const uint8_t> report) override;
};

} // namespace flashwell::lab
