#pragma once

#include "platform/HidReport.h"
#include "platform/VirtualHidBus.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace flashwell::lab {

// Base of the lab's device models: one device that can be plugged into the virtual bus,
// answers reports, and on a boot-switch report leaves the bus and comes back, after a settable
// delay, with its bootloader identity (served by another model when one is given).
class VirtualDeviceModel : public VirtualHidEndpoint
{
public:
    VirtualDeviceModel(VirtualHidBus &bus, HidIdentity identity);
    ~VirtualDeviceModel() override;
    VirtualDeviceModel(const VirtualDeviceModel &) = delete;
    VirtualDeviceModel &operator=(const VirtualDeviceModel &) = delete;

    HidDevice *plug();
    void unplug();
    HidDevice *device() const { return m_device.data(); }
    const HidIdentity &identity() const { return m_identity; }

    // Where a boot switch sends the device. Without a bootloader model the device comes back
    // as a silent device with that identity.
    void setBootTarget(HidIdentity identity, VirtualDeviceModel *bootloader = nullptr);
    void setReenumerateDelayMs(int64_t ms) { m_reenumerateDelayMs = ms; }
    // Leaves the bus now and comes back as the boot target after the delay.
    void switchToBootloader();
    bool hasSwitched() const { return m_switched; }
    // The reports this model received, in order.
    const std::vector<HidReport> &received() const { return m_received; }

    void onOutputReport(HidDevice *device, std::span<const uint8_t> report) final;

protected:
    virtual void handleReport(std::span<const uint8_t> report) = 0;
    // Device to host.
    void reply(std::span<const uint8_t> report);
    // Leaves the bus now and comes back with `identity`, served by `next` (or silent).
    void reenumerate(HidIdentity identity, VirtualDeviceModel *next);
    // Runs `task` after `ms` of bus time, unless this model is gone by then.
    void later(int64_t ms, std::function<void()> task);
    VirtualHidBus &bus() const { return m_bus; }

private:
    VirtualHidBus &m_bus;
    HidIdentity m_identity;
    QPointer<HidDevice> m_device;
    HidIdentity m_bootIdentity;
    VirtualDeviceModel *m_bootloader = nullptr;
    std::unique_ptr<VirtualDeviceModel> m_silentStandIn;
    int64_t m_reenumerateDelayMs = 300;
    bool m_switched = false;
    std::vector<HidReport> m_received;
    // Scheduled re-plugs hold a weak reference to this, so a model destroyed meanwhile is skipped.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

// A device that accepts every report and says nothing: the stand-in for a bootloader that the
// lab does not model, and the X-input and HJZ-family devices.
class SilentDevice final : public VirtualDeviceModel
{
public:
    using VirtualDeviceModel::VirtualDeviceModel;

protected:
    void handleReport(std::span<const uint8_t> report) override { Q_UNUSED(report); }
};

} // namespace flashwell::lab
