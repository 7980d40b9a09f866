#pragma once

#include "device/DeviceDelegate.h"
#include "platform/HidDevice.h"
#include "update/UpdateSessionController.h"

#include <QList>
#include <QObject>
#include <QString>

namespace flashwell {
class UpdateHost;
}

namespace flashwell::cli {

// A device as `devices` lists it: an identified device, or a bootloader waiting for its product.
struct Found
{
    SFenwykDevicePtr device; // the watcher's record (identified devices)
    HidDeviceRef boot;       // the bootloader's handle (bootloader mode)
    uint16_t vid = 0;
    uint16_t pid = 0;
    QString name;
};

// A device's name as the catalogue gives it, else as the device does.
QString deviceName(const SFenwykDevicePtr &device);

// What a command sees on the bus: the devices the host's watchers have announced, and the
// bootloaders its sessions hold.
class CliDevices final : public QObject, public DeviceDelegate
{
    Q_OBJECT
public:
    CliDevices(UpdateHost &host, const UpdateServices &services);
    ~CliDevices() override;

    void addSFenwykDevice(const SFenwykDevicePtr &device) override;
    void removeSFenwykDevice(const SFenwykDevicePtr &device) override;

    // A watcher has a device it has not announced yet: it is still waiting for its version.
    bool identifying() const;
    // Identified devices in arrival order, then bootloaders.
    QList<Found> found() const;

private:
    UpdateHost &m_host;
    UpdateServices m_services;
    QList<SFenwykDevicePtr> m_announced;
};

} // namespace flashwell::cli
