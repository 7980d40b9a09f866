#pragma once

#include "device/SHIDManager.h"

namespace flashwell {

// Watches the vendor's devices while they present the Switch Pro Controller or Sony Wireless
// Controller identity; the vendor reply tells which product is behind it.
class SHIDSwitchAndMac final : public SHIDManager
{
    Q_OBJECT
public:
    explicit SHIDSwitchAndMac(PlatformServices services = PlatformServices::shared(), QObject *parent = nullptr);

    void open() override;
    static void boot(HidDevice *device);
    // Asks the device to come back in D-input mode.
    static void changeDinput(HidDevice *device);
    // Quiets the Switch-mode traffic of the device so that it answers vendor commands.
    static void stopChangeMode(HidDevice *device);

    void addSFenwykDeviceRefreshUI(HidDevice *device);
    void removeFenwykDeviceRefreshUI(HidDevice *device);
    SFenwykDevicePtr getDeviceWithRef(HidDevice *device) const { return recordForRef(device); }

protected:
    void deviceMatched(HidDevice *device) override;
    void deviceRemoved(HidDevice *device) override;
    void inputReport(HidDevice *sender, std::span<const uint8_t> report) override;
};

} // namespace flashwell
