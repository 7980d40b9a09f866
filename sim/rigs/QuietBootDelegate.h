#pragma once

#include "boot/SHIDBootDelegate.h"

#include <QObject>

namespace flashwell::lab {

// A bootloader delegate that listens and says nothing back; for fuzzers and benchmarks that only
// drive a session. Override what you want to observe.
class QuietBootDelegate : public QObject, public SHIDBootDelegate
{
public:
    void SHIDBootRemoveDevice(const SFenwykDevicePtr &, SHIDManager *) override {}
    void SHIDBootGetVersion(const SFenwykDevicePtr &, SHIDManager *) override {}
    void SHIDBootGetFirmwaerType(uint32_t, SHIDManager *) override {}
    void SHIDBootStartUpdate(SHIDManager *) override {}
    void SHIDBootStartUpdateing(int32_t, SHIDManager *) override {}
    void SHIDBootStartUpdateed(SHIDManager *) override {}
    void SHIDBootNotSupportFirmware(SHIDManager *) override {}
    void SHIDBootErrorString(SHIDManager *, const QString &) override {}
    void SHIDBootErrorNOEqualPID(SHIDManager *, uint32_t, uint32_t) override {}
};

} // namespace flashwell::lab
