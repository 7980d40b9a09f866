#include "models/VirtualDeviceModel.h"

#include "platform/Scheduler.h"

#include <algorithm>

namespace flashwell::lab {

VirtualDeviceModel::VirtualDeviceModel(VirtualHidBus &bus, HidIdentity identity)
    : m_bus(bus)
    , m_identity(std::move(identity))
    , m_bootIdentity(m_identity)
{}

VirtualDeviceModel::~VirtualDeviceModel()
{
    unplug();
}

HidDevice *VirtualDeviceModel::plug()
{
    if (!m_device)
        m_device = m_bus.plug(m_identity, this);
    return m_device.data();
}

void VirtualDeviceModel::unplug()
{
    if (m_device)
        m_bus.unplug(m_device.data());
}

void VirtualDeviceModel::setBootTarget(HidIdentity identity, VirtualDeviceModel *bootloader)
{
    m_bootIdentity = std::move(identity);
    m_bootloader = bootloader;
}

void VirtualDeviceModel::onOutputReport(HidDevice *device, std::span<const uint8_t> report)
{
    if (device != m_device.data())
        return;
    HidReport copy{};
    std::copy_n(report.begin(), std::min(report.size(), copy.size()), copy.begin());
    m_received.push_back(copy);
    handleReport(report);
}

void VirtualDeviceModel::reply(std::span<const uint8_t> report)
{
    if (m_device)
        m_bus.sendInput(m_device.data(), report);
}

void VirtualDeviceModel::switchToBootloader()
{
    m_switched = true;
    reenumerate(m_bootIdentity, m_bootloader);
}

void VirtualDeviceModel::later(int64_t ms, std::function<void()> task)
{
    std::weak_ptr<int> alive = m_alive;
    m_bus.scheduler().after(ms, [alive, task = std::move(task)] {
        if (!alive.expired())
            task();
    });
}

void VirtualDeviceModel::reenumerate(HidIdentity identity, VirtualDeviceModel *next)
{
    unplug();
    if (!next) {
        m_silentStandIn = std::make_unique<SilentDevice>(m_bus, std::move(identity));
        next = m_silentStandIn.get();
    } else {
        next->m_identity = std::move(identity);
    }
    std::weak_ptr<int> alive = next->m_alive;
    m_bus.scheduler().after(m_reenumerateDelayMs, [next, alive] {
        if (!alive.expired())
            next->plug();
    });
}

} // namespace flashwell::lab
