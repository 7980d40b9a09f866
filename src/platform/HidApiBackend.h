#pragma once

#include "platform/HidBackend.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <optional>

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
    // How arrivals and removals are noticed: the udev monitor where a udev daemon runs, else
    // polling; benchmarks and tests force one.
    enum class Hotplug { Auto, Udev, Poll };

    // `pollIntervalMs` is how often to enumerate where no udev daemon announces devices.
    explicit HidApiBackend(int pollIntervalMs = kPollIntervalMs, QObject *parent = nullptr,
                           Hotplug hotplug = Hotplug::Auto);
    ~HidApiBackend() override;

    QList<HidDevice *> devices() const override;

    // Measured under umockdev (bench/HotplugBench.cpp): a full enumeration costs about 0.23 ms of
    // CPU per hidraw node, a look at the nodes about 1.6 us per node; polling looks every interval
    // and enumerates only on a change: 0.12 % of one core with 32 nodes at 250 ms.
    static constexpr int kPollIntervalMs = 250;
    // udev announces an interface per event; events this close together are enumerated once.
    static constexpr int kUdevSettleMs = 5;
    // A device seen before its node can be opened (created or given its permissions a moment
    // later) is announced again this often, a few times, so its watcher opens it once it can.
    static constexpr int kOpenRetryMs = 250;
    static constexpr int kOpenRetries = 8;

    // Enumerates now and announces arrivals and removals.
    void rescan();
    // The hidapi library's version ("0.13.1").
    static QString libraryVersion();

private:
    void startHotplug(Hotplug hotplug);
    // A poll enumerates only when the hidraw nodes changed since the last enumeration.
    void poll();
    void onUdevEvent();
    void onOpenFailed(HidDevice *device);

    QHash<QString, HidApiDevice *> m_byPath;
    QList<HidApiDevice *> m_order;
    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_pollTimer = nullptr;
    QTimer *m_debounce = nullptr;
    int m_pollIntervalMs;
    std::optional<QByteArray> m_hidrawSignature;
    QHash<QString, int> m_openRetries; // by path, while its opens keep failing
};

} // namespace flashwell
