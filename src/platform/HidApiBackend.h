#pragma once

#include "platform/HidBackend.h"

#include <QHash>
#include <QSet>
#include <QString>

class QSocketNotifier;
class QTimer;
struct udev;
struct udev_monitor;

namespace flashwell {

class HidApiDevice;

// Real HID devices through hidapi (hidraw on Linux). Enumeration and opening stay on the UI
// thread. Hot-plug comes from a libudev monitor on the "hidraw" subsystem; where no udev daemon
// runs, a periodic enumeration stands in for it.
class HidApiBackend final : public HidBackend
{
    Q_OBJECT
public:
    // `pollIntervalMs` is how often to enumerate where no udev daemon announces devices.
    explicit HidApiBackend(int pollIntervalMs = 1000, QObject *parent = nullptr);
    ~HidApiBackend() override;

    QList<HidDevice *> devices() const override;

    // Enumerates now and announces arrivals and removals.
    void rescan();

private:
    void startHotplug();
    void onUdevEvent();

    QHash<QString, HidApiDevice *> m_byPath;
    QList<HidApiDevice *> m_order;
    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_pollTimer = nullptr;
    QTimer *m_debounce = nullptr;
    int m_pollIntervalMs;
};

} // namespace flashwell
