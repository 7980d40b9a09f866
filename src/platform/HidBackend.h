#pragma once

#include "platform/HidDevice.h"

#include <QList>
#include <QObject>

namespace flashwell {

// The source of HID devices: the hidapi backend for real hardware, the virtual bus for tests
// and the lab. It owns every HidDevice it announces.
class HidBackend : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~HidBackend() override;

    virtual QList<HidDevice *> devices() const = 0;

Q_SIGNALS:
    void deviceArrived(flashwell::HidDevice *device);
    // Emitted while the device object is still alive; it is destroyed right after.
    void deviceRemoved(flashwell::HidDevice *device);
    // Every `open` of one of its devices reports its outcome here, so a screen can tell the user
    // about a device that is attached but cannot be used (usually missing permissions).
    void deviceOpenFailed(flashwell::HidDevice *device);
    void deviceOpened(flashwell::HidDevice *device);
};

} // namespace flashwell
