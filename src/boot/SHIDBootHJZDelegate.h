#pragma once

#include "device/SFenwykDevice.h"

#include <QString>

namespace flashwell {

class SHIDBootHJZ;

// What the HJZ session reports. (In C++ the protocol cannot share its name with the session
// class, hence the suffix.)
class SHIDBootHJZDelegate
{
public:
    virtual ~SHIDBootHJZDelegate() = default;
    // An HJZ-mode device arrived.
    virtual void SHIDBootHJZUpdate(SHIDBootHJZ *hjz, const SFenwykDevicePtr &device) = 0;
    // The HJZ-mode device left.
    virtual void SHIDBootHJZRemoveDevice(SHIDBootHJZ *hjz) { Q_UNUSED(hjz); }
    // Not sent by this session: `readVersion` does not query the bootloader.
    virtual void SHIDBootHJZGetVersion(const SFenwykDevicePtr &device) { Q_UNUSED(device); }
    // Writing: 0 once the file is accepted and before the first erase, then after every verified
    // page the share of pages verified (100 with the last one, just before the success).
    virtual void SHIDBootHJZUpdateing(SHIDBootHJZ *hjz, int32_t progress)
    {
        Q_UNUSED(hjz);
        Q_UNUSED(progress);
    }
    // Every page was written and verified, the first page last.
    virtual void SHIDBootHJZUpdateSuccess(SHIDBootHJZ *hjz) = 0;
    // The update stopped: a refused file, a failed send or a page checksum mismatch.
    virtual void SHIDBootHJZUpdateFail(SHIDBootHJZ *hjz, const QString &msg) = 0;
};

} // namespace flashwell
