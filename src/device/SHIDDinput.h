#pragma once

#include "device/SHIDManager.h"
#include "device/WatcherFrames.h"

namespace flashwell {

// Watches every catalogue identity (devices in their normal D-input mode), asks each for its
// version and announces it once it has answered.
class SHIDDinput final : public SHIDManager
{
    Q_OBJECT
public:
    explicit SHIDDinput(PlatformServices services = PlatformServices::shared(), QObject *parent = nullptr);

    void open() override;
    // Switches a device into its bootloader; nothing for null.
    static void boot(HidDevice *device);

    void addSFenwykDeviceRefreshUI(HidDevice *device);
    void removeFenwykDeviceRefreshUI(HidDevice *device);
    SFenwykDevicePtr getDeviceWithRef(HidDevice *device) const { return recordForRef(device); }
    SFenwykDevicePtr getDeviceWithPID(uint16_t pid) const;

    // The product IDs that also take the 0x81-led query and boot reports (under our vendor ID).
    static bool isExtendedCommandPid(uint16_t pid);

protected:
    void deviceMatched(HidDevice *device) override;
    void deviceRemoved(HidDevice *device) override;
    void inputReport(HidDevice *sender, std::span<const uint8_t> report) override;

private:
    void applyLayoutA(const SFenwykDevicePtr &record, const frames::DinputReply &reply);
    void applyLayoutB(const SFenwykDevicePtr &record, const frames::DinputReply &reply);
};

} // namespace flashwell
