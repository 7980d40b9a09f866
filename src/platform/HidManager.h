#pragma once

#include "platform/HidBackend.h"

#include <QList>
#include <QObject>
#include <QSet>

#include <cstdint>
#include <functional>

namespace flashwell {

class Scheduler;

struct HidMatch
{
    uint16_t productId = 0;
    uint16_t vendorId = 0;
    bool operator==(const HidMatch &) const = default;
};

// IOKit-shaped HID manager: a matching list of (ProductID, VendorID) pairs and device-matching
// and device-removal callbacks. After `open`, devices already attached are announced on the
// next turn of the scheduler, later ones as they arrive.
class HidManager final : public QObject
{
    Q_OBJECT
public:
    using DeviceCallback = std::function<void(HidDevice *device)>;

    HidManager(HidBackend &backend, Scheduler &scheduler, QObject *parent = nullptr);
    ~HidManager() override;

    void setDeviceMatchingMultiple(QList<HidMatch> matching);
    const QList<HidMatch> &deviceMatching() const { return m_matching; }
    void registerDeviceMatchingCallback(DeviceCallback callback);
    void registerDeviceRemovalCallback(DeviceCallback callback);
    IOReturn open();
    void close();

    bool matches(const HidDevice *device) const;

private:
    void onArrived(HidDevice *device);
    void onRemoved(HidDevice *device);

    HidBackend &m_backend;
    Scheduler &m_scheduler;
    QList<HidMatch> m_matching;
    DeviceCallback m_matched;
    DeviceCallback m_removed;
    QSet<HidDevice *> m_announced;
    bool m_open = false;
};

} // namespace flashwell
