#pragma once

#include "device/SFenwykDevice.h"

#include <QString>

#include <cstdint>

namespace flashwell {

class SHIDManager;

// What the bootloader sessions report to the update screen. `hid` is the reporting session
// (the classic one passes itself; the second-generation one passes null except where noted).
class SHIDBootDelegate
{
public:
    virtual ~SHIDBootDelegate() = default;

    // A device in boot mode left; the classic session passes a null record.
    virtual void SHIDBootRemoveDevice(const SFenwykDevicePtr &device, SHIDManager *hid) = 0;
    // The bootloader reported the running firmware's version.
    virtual void SHIDBootGetVersion(const SFenwykDevicePtr &device, SHIDManager *hid) = 0;
    // The classic device info frame arrived.
    virtual void SHIDBootGetFirmwaerType(uint32_t firmwareType, SHIDManager *hid) = 0;
    // The first firmware data went out.
    virtual void SHIDBootStartUpdate(SHIDManager *hid) = 0;
    // The percentage changed.
    virtual void SHIDBootStartUpdateing(int32_t progress, SHIDManager *hid) = 0;
    // The update finished.
    virtual void SHIDBootStartUpdateed(SHIDManager *hid) = 0;
    // The chosen file may not be flashed on this device (`hid` is null).
    virtual void SHIDBootNotSupportFirmware(SHIDManager *hid) = 0;
    // A session failed; `msg` says which step and what was seen.
    virtual void SHIDBootErrorString(SHIDManager *hid, const QString &msg) = 0;
    // The file is for another product.
    virtual void SHIDBootErrorNOEqualPID(SHIDManager *hid, uint32_t gamepadType, uint32_t pid) = 0;
    // A device in boot mode arrived (optional).
    virtual void SHIDBootAddDevice(const SFenwykDevicePtr &device, SHIDManager *hid)
    {
        Q_UNUSED(device);
        Q_UNUSED(hid);
    }
};

} // namespace flashwell
