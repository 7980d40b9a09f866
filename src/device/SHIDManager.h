#pragma once

#include "device/DeviceDelegate.h"
#include "device/SFenwykDevice.h"
#include "platform/HidManager.h"
#include "platform/HidReport.h"
#include "platform/PlatformServices.h"
#include "platform/WeakDelegate.h"

#include <QList>
#include <QObject>

#include <memory>
#include <span>
#include <utility>

namespace flashwell {

// Base of every watcher and session: one HID manager, one 64-byte input buffer shared by all
// its devices, a weak delegate and the records of its devices in arrival order.
class SHIDManager : public QObject
{
    Q_OBJECT
public:
    explicit SHIDManager(PlatformServices services, QObject *parent = nullptr);
    ~SHIDManager() override;

    // Starts matching; does nothing in the base.
    virtual void open() {}
    static void boot(HidDevice *device) { Q_UNUSED(device); }

    HidManager *hidManager() const { return m_hidManager.get(); }
    DeviceDelegate *delegate() const { return m_delegate.get(); }
    void setDelegate(DeviceDelegate *delegate) { m_delegate.set(delegate); }
    const QList<SFenwykDevicePtr> &devices() const { return m_devices; }
    // True while `device` hands its input reports to this manager.
    bool isListeningTo(const HidDevice *device) const;

protected:
    // Creates the manager with `matching` and routes its callbacks to the virtuals below.
    void openWithMatching(QList<HidMatch> matching);
    virtual void deviceMatched(HidDevice *device) = 0;
    virtual void deviceRemoved(HidDevice *device) = 0;
    virtual void inputReport(HidDevice *sender, std::span<const uint8_t> report);
    // Tells the delegate, when one is still alive.
    template <typename Method, typename... Args> void tellDelegate(Method method, Args &&...args) const
    {
        m_delegate.call(method, std::forward<Args>(args)...);
    }

    // A new record with the USB identity, product name and handle of `device`.
    static SFenwykDevicePtr makeRecord(HidDevice *device);
    // Opens the device and registers the shared input buffer for it.
    void openAndListen(HidDevice *device);
    // The last record whose handle is `device`.
    SFenwykDevicePtr recordForRef(const HidDevice *device) const;

    Scheduler &scheduler() const { return *m_services.scheduler; }

    HidReport gpReportBufB{};
    uint8_t reportSizeIn = static_cast<uint8_t>(kHidReportSize);
    QList<SFenwykDevicePtr> m_devices;
    WeakDelegate<DeviceDelegate> m_delegate;

private:
    PlatformServices m_services;
    std::unique_ptr<HidManager> m_hidManager;
    QList<HidDeviceRef> m_listening; // devices holding our buffer and callback
};

} // namespace flashwell
