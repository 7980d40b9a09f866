#pragma once

#include "device/SHIDManager.h"

namespace flashwell {

// Tracks the one HJZ-family device with PID 0x2007 by its handle.
class SHIDHJZ final : public SHIDManager
{
    Q_OBJECT
public:
    static SHIDHJZ &sharedInstance();
    explicit SHIDHJZ(PlatformServices services, QObject *parent = nullptr);

    void open() override;
    // The attached device, or null.
    HidDevice *device() const { return m_device.data(); }

protected:
    void deviceMatched(HidDevice *device) override;
    void deviceRemoved(HidDevice *device) override;
    void inputReport(HidDevice *sender, std::span<const uint8_t> report) override;

private:
    HidDeviceRef m_device;
};

} // namespace flashwell
