#pragma once

#include "LabUpdateOptions.h"
#include "platform/VirtualHidBus.h"

#include <QString>

#include <memory>

namespace flashwell {
class Scheduler;
} // namespace flashwell

namespace flashwell::lab {

class VirtualClassicBootloader;
class VirtualDeviceModel;
class VirtualHjzBootloader;
class VirtualVela2Bootloader;

// The lab's devices of one update: the normal-mode model the options describe and the bootloader
// model it switches to, on one bus. Whatever drives the update (the headless workflow or the
// window) plugs them, and they unplug when destroyed.
class LabUpdateDevices
{
public:
    LabUpdateDevices(VirtualHidBus &bus, const LabUpdateOptions &options);
    ~LabUpdateDevices();
    LabUpdateDevices(const LabUpdateDevices &) = delete;
    LabUpdateDevices &operator=(const LabUpdateDevices &) = delete;

    // The bootloader too when it sits on the bus from the start, then the normal-mode device.
    void plug();
    // The user, shown the guide, unplugs the device and plugs it in again in its bootloader mode.
    void replugAsUser(Scheduler &scheduler);
    // The HJZ bootloader's geometry follows the device id in use; its page size is the file's.
    void fitHjzGeometry(const QString &firmwarePath);

    VirtualDeviceModel *normal() const { return m_normal.get(); }
    VirtualDeviceModel *bootloader() const { return m_bootModel; }
    VirtualClassicBootloader *classicBootloader() const { return m_classicBoot.get(); }
    VirtualVela2Bootloader *vela2Bootloader() const { return m_vela2Boot.get(); }
    VirtualHjzBootloader *hjzBootloader() const { return m_hjzBoot.get(); }

private:
    HidIdentity bootIdentity() const;
    void setUpBootloader();
    void setUpNormalDevice();

    VirtualHidBus &m_bus;
    LabUpdateOptions m_options;
    std::unique_ptr<VirtualDeviceModel> m_normal;
    std::unique_ptr<VirtualClassicBootloader> m_classicBoot;
    std::unique_ptr<VirtualVela2Bootloader> m_vela2Boot;
    std::unique_ptr<VirtualHjzBootloader> m_hjzBoot;
    VirtualDeviceModel *m_bootModel = nullptr;
};

} // namespace flashwell::lab
