#pragma once

#include "platform/VirtualHidBus.h"
#include "runs/LabUpdateOptions.h"

#include <QString>

#include <memory>

namespace flashwell {
class Scheduler;
} // namespace flashwell

namespace flashwell::lab {

class VirtualBootloader;
class VirtualDeviceModel;

// The lab's devices of one update: the normal-mode model the options describe and the bootloader
// model it switches to, on one bus. Whatever drives the update (the headless workflow or the
// window) plugs them, and they unplug when destroyed.
class LabUpdateDevices
{
public:
    LabUpdateDevices(VirtualHidBus &bus, LabUpdateOptions options);
    ~LabUpdateDevices();
    LabUpdateDevices(const LabUpdateDevices &) = delete;
    LabUpdateDevices &operator=(const LabUpdateDevices &) = delete;

    // The bootloader too when it sits on the bus from the start, then the normal-mode device.
    void plug();
    // The user, shown the guide, unplugs the device and plugs it in again in its bootloader mode.
    void replugAsUser(Scheduler &scheduler);

    VirtualDeviceModel *normal() const { return m_normal.get(); }
    VirtualBootloader *bootloader() const { return m_boot.get(); }

private:
    // The identity the device switches to: its bootloader's, by the name every bootloader of an
    // update run shows.
    HidIdentity bootIdentity() const;
    void setUpBootloader();
    void setUpNormalDevice();

    VirtualHidBus &m_bus;
    LabUpdateOptions m_options;
    std::unique_ptr<VirtualBootloader> m_boot;
    std::unique_ptr<VirtualDeviceModel> m_normal;
};

} // namespace flashwell::lab
