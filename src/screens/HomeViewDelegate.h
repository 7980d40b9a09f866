#pragma once

#include "device/SFenwykDevice.h"
#include "net/Firmware.h"

#include <cstdint>

namespace flashwell {

// What the home screen tells the root controller.
class HomeViewDelegate
{
public:
    virtual ~HomeViewDelegate() = default;
    // The update button was pressed for `device`; `from` is 0 for an attached device, 1 for a
    // product picked in the chooser.
    virtual void firmwaerUpdateClick(const SFenwykDevicePtr &device, int32_t from) = 0;
    // The server answered the newest-release query for `device` with `firmwaer`.
    virtual void hasNewFirmwaerVersion(const SFenwykDevicePtr &device, const Firmware &firmwaer) = 0;
};

} // namespace flashwell
