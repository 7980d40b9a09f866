#pragma once

#include "device/SFenwykDevice.h"

namespace flashwell {

// Told by the watchers when a device has identified itself or has left.
class DeviceDelegate
{
public:
    virtual ~DeviceDelegate() = default;
    // Sent again for every further version reply of the same record.
    virtual void addSFenwykDevice(const SFenwykDevicePtr &device) = 0;
    // `device` is null when the watcher no longer has a record for the handle.
    virtual void removeSFenwykDevice(const SFenwykDevicePtr &device) = 0;
};

} // namespace flashwell
