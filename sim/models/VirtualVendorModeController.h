#pragma once

#include "models/VirtualDeviceModel.h"

namespace flashwell::lab {

// A controller presenting the Switch Pro Controller (0x2009/0x057E) or Sony Wireless
// Controller (0x05C4/0x054C) identity. It answers the vendor command 0x21 with the 0x66 reply
// carrying its own product ID, goes back to D-input mode on command 0x51 with value 1, and
// switches to its bootloader on command 0x50, or 0x51 with value 0.
class VirtualVendorModeController final : public VirtualDeviceModel
{
public:
    enum class Identity { Switch, Sony };

    VirtualVendorModeController(VirtualHidBus &bus, Identity identity, uint16_t ownPid);

    uint16_t ownPid;
    uint16_t versionHundredths = 100;
    uint16_t beta = 0;
    uint8_t canSwitch = 1;    // byte 10 for 0x3101
    uint16_t bootVersion = 0; // bytes 10-11 for 0x6000..0x6002
    // Where "go back to D-input" sends it (by default its own pid under the vendor ID).
    void setDinputTarget(HidIdentity identity, VirtualDeviceModel *model = nullptr);

    HidReport vendorReply() const;

protected:
    void handleReport(std::span<const uint8_t> report) override;

private:
    uint8_t m_reportId;
    HidIdentity m_dinputIdentity;
    VirtualDeviceModel *m_dinputModel = nullptr;
    bool m_left = false;
};

} // namespace flashwell::lab
