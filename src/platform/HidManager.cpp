#include "platform/HidManager.h"

#include "platform/Scheduler.h"

namespace flashwell {

HidManager::HidManager(HidBackend &backend, Scheduler &scheduler, QObject *parent)
    : QObject(parent)
    , m_backend(backend)
    , m_scheduler(scheduler)
{}

HidManager::~HidManager() = default;

void HidManager::setDeviceMatchingMultiple(QList<HidMatch> matching)
{
    m_matching = std::move(matching);
}

void HidManager::registerDeviceMatchingCallback(DeviceCallback callback)
{
    m_matched = std::move(callback);
}

void HidManager::registerDeviceRemovalCallback(DeviceCallback callback)
{
    m_removed = std::move(callback);
}

bool HidManager::matches(const HidDevice *device) const
{
    const QVariant pid = device->property(kHidProductIDKey);
    const QVariant vid = device->property(kHidVendorIDKey);
    if (!pid.isValid() || !vid.isValid())
        return false;
    const HidMatch identity{static_cast<uint16_t>(pid.toUInt()), static_cast<uint16_t>(vid.toUInt())};
    return m_matching.contains(identity);
}

IOReturn HidManager::open()
{
    if (m_open)
        return kIOReturnSuccess;
    m_open = true;
    connect(&m_backend, &HidBackend::deviceArrived, this, &HidManager::onArrived);
    connect(&m_backend, &HidBackend::deviceRemoved, this, &HidManager::onRemoved);
    // Devices already present arrive on the next turn, as the run loop would deliver them,
    // so the caller can finish registering its callbacks first.
    for (HidDevice *device : m_backend.devices()) {
        HidDeviceRef ref(device);
        m_scheduler.after(
            0,
            [this, ref] {
                if (ref)
                    onArrived(ref.data());
            },
            this);
    }
    return kIOReturnSuccess;
}

void HidManager::close()
{
    m_open = false;
    disconnect(&m_backend, nullptr, this, nullptr);
    m_announced.clear();
}

void HidManager::onArrived(HidDevice *device)
{
    if (!m_open || m_announced.contains(device) || !matches(device))
        return;
    m_announced.insert(device);
    if (m_matched)
        m_matched(device);
}

void HidManager::onRemoved(HidDevice *device)
{
    if (!m_announced.remove(device))
        return;
    if (m_removed)
        m_removed(device);
}

} // namespace flashwell
