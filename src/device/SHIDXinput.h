#pragma once

#include "device/SHIDManager.h"

namespace flashwell {

// Records devices in X-input mode; they are neither opened nor announced.
class SHIDXinput final : public SHIDManager
{
    Q_OBJECT
public:
    explicit SHIDXinput(PlatformServices services = PlatformServices::shared(), QObject *parent = nullptr);
    void open() override;

protected:
    void deviceMatched(HidDevice *device) override;
    void deviceRemoved(HidDevice *device) override;
};

} // namespace flashwell
