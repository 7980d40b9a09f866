#pragma once

#include "boot/SHIDBootDelegate.h"
#include "boot/SHIDBootHJZDelegate.h"

#include <QJsonObject>
#include <QObject>

#include <functional>

namespace flashwell::lab {

// Turns every bootloader callback into one JSON object ({"event": name, ...}), the lab's
// printed form of a session's reports. A subclass that acts on a callback calls this one's first.
class BootEventPrinter : public QObject, public SHIDBootDelegate, public SHIDBootHJZDelegate
{
public:
    std::function<void(const QJsonObject &)> sink;
    // Every callback's name, whether or not it is printed.
    std::function<void(const char *event)> seen;
    // The JSON is built only while this holds (when it is set).
    std::function<bool()> wanted;

    void SHIDBootRemoveDevice(const SFenwykDevicePtr &device, SHIDManager *hid) override;
    void SHIDBootGetVersion(const SFenwykDevicePtr &device, SHIDManager *hid) override;
    void SHIDBootGetFirmwaerType(uint32_t type, SHIDManager *hid) override;
    void SHIDBootStartUpdate(SHIDManager *hid) override;
    void SHIDBootStartUpdateing(int32_t progress, SHIDManager *hid) override;
    void SHIDBootStartUpdateed(SHIDManager *hid) override;
    void SHIDBootNotSupportFirmware(SHIDManager *hid) override;
    void SHIDBootErrorString(SHIDManager *hid, const QString &msg) override;
    void SHIDBootErrorNOEqualPID(SHIDManager *hid, uint32_t gamepadType, uint32_t pid) override;
    void SHIDBootAddDevice(const SFenwykDevicePtr &device, SHIDManager *hid) override;
    void SHIDBootHJZUpdate(SHIDBootHJZ *hjz, const SFenwykDevicePtr &device) override;
    void SHIDBootHJZGetVersion(const SFenwykDevicePtr &device) override;
    void SHIDBootHJZUpdateing(SHIDBootHJZ *hjz, int32_t progress) override;
    void SHIDBootHJZUpdateSuccess(SHIDBootHJZ *hjz) override;
    void SHIDBootHJZUpdateFail(SHIDBootHJZ *hjz, const QString &msg) override;

private:
    bool announce(const char *event);
    void emitEvent(const char *event, std::initializer_list<std::pair<QString, QJsonValue>> fields = {});
};

} // namespace flashwell::lab
