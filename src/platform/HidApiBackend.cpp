#include "platform/HidApiBackend.h"

#include "platform/HidApiDevice.h"
#include "platform/HidrawSignature.h"
#include "platform/Logging.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <hidapi/hidapi.h>
#include <libudev.h>

namespace flashwell {

namespace {

// hidraw nodes publish their report descriptor in sysfs; elsewhere there is none to read.
QByteArray reportDescriptorOf(const QString &path)
{
    QFile file(QStringLiteral("/sys/class/hidraw/%1/device/report_descriptor").arg(QFileInfo(path).fileName()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(4096);
}
// hid_init once per process, on the thread that enumerates.
void ensureHidInit()
{
    static const bool ok = [] {
        if (hid_init() != 0) {
            qCWarning(lcHid) << "hid_init failed; no real devices will be seen";
            return false;
        }
        return true;
    }();
    Q_UNUSED(ok);
}
} // namespace

HidApiBackend::HidApiBackend(int pollIntervalMs, QObject *parent, Hotplug hotplug)
    : HidBackend(parent)
    , m_pollIntervalMs(pollIntervalMs)
{
    ensureHidInit();
    m_debounce = new QTimer(this);
    m_debounce->setSingleShot(true);
    m_debounce->setInterval(kUdevSettleMs);
    connect(m_debounce, &QTimer::timeout, this, &HidApiBackend::rescan);
    connect(this, &HidBackend::deviceOpenFailed, this, &HidApiBackend::onOpenFailed);
    connect(this, &HidBackend::deviceOpened, this,
            [this](HidDevice *device) { m_openRetries.remove(static_cast<HidApiDevice *>(device)->path()); });
    startHotplug(hotplug);
    rescan();
}

HidApiBackend::~HidApiBackend()
{
    qDeleteAll(m_order);
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

QList<HidDevice *> HidApiBackend::devices() const
{
    QList<HidDevice *> out;
    for (auto *d : m_order)
        out.append(d);
    return out;
}

void HidApiBackend::startHotplug(Hotplug hotplug)
{
    // Without a running udev daemon the monitor would stay silent; poll instead.
    const bool udevRunning = hotplug == Hotplug::Udev
                             || (hotplug == Hotplug::Auto && QFileInfo::exists(QStringLiteral("/run/udev/control")));
    if (udevRunning) {
        m_udev = udev_new();
        if (m_udev)
            m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
        if (m_monitor && udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) >= 0
            && udev_monitor_enable_receiving(m_monitor) >= 0) {
            m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
            connect(m_notifier, &QSocketNotifier::activated, this, &HidApiBackend::onUdevEvent);
            return;
        }
        qCWarning(lcHid) << "udev monitor unavailable; polling for devices";
    }
    m_pollTimer = new QTimer(this);
    m_pollTimer->setInterval(m_pollIntervalMs);
    connect(m_pollTimer, &QTimer::timeout, this, &HidApiBackend::poll);
    m_pollTimer->start();
}

void HidApiBackend::onUdevEvent()
{
    if (udev_device *dev = udev_monitor_receive_device(m_monitor))
        udev_device_unref(dev);
    // A plug produces a burst of events; enumerate once it has settled.
    m_debounce->start();
}

void HidApiBackend::poll()
{
    const std::optional<QByteArray> signature = hidrawSignature();
    if (signature && signature == m_hidrawSignature)
        return;
    rescan();
}

QString HidApiBackend::libraryVersion()
{
    return QString::fromLatin1(hid_version_str());
}

void HidApiBackend::onOpenFailed(HidDevice *device)
{
    int &tries = m_openRetries[static_cast<HidApiDevice *>(device)->path()];
    if (tries >= kOpenRetries)
        return; // a lasting failure (no permission): the log and the home screen say what to do
    ++tries;
    QTimer::singleShot(kOpenRetryMs, this, &HidApiBackend::rescan);
}

void HidApiBackend::rescan()
{
    m_hidrawSignature = hidrawSignature(); // taken first: a change during the enumeration shows next time
    struct Seen
    {
        QString path;
        QVariantMap properties;
    };
    QList<Seen> seen;
    QSet<QString> paths;
    hid_device_info *list = hid_enumerate(0, 0);
    for (hid_device_info *info = list; info; info = info->next) {
        const QString path = QString::fromLocal8Bit(info->path);
        // hidapi lists one entry per usage on some platforms; one device per path is enough.
        if (paths.contains(path))
            continue;
        paths.insert(path);
        QVariantMap p;
        p.insert(kHidVendorIDKey, info->vendor_id);
        p.insert(kHidProductIDKey, info->product_id);
        if (info->product_string)
            p.insert(kHidProductKey, QString::fromWCharArray(info->product_string));
        p.insert(kHidPrimaryUsagePageKey, info->usage_page);
        p.insert(kHidPrimaryUsageKey, info->usage);
        if (const QByteArray descriptor = reportDescriptorOf(path); !descriptor.isEmpty())
            p.insert(kHidReportDescriptorKey, descriptor);
        seen.append({path, p});
    }
    hid_free_enumeration(list);

    const auto known = m_order;
    for (HidApiDevice *device : known) {
        // A lost handle is replaced: if its path is listed again, a fresh device is announced below.
        // So is one whose open failed while retries remain: announced again, its watcher retries.
        const int tries = m_openRetries.value(device->path());
        const bool retry = device->openFailed() && tries > 0 && tries < kOpenRetries;
        if (paths.contains(device->path()) && !device->lost() && !retry)
            continue;
        if (!paths.contains(device->path()))
            m_openRetries.remove(device->path());
        m_order.removeOne(device);
        m_byPath.remove(device->path());
        Q_EMIT deviceRemoved(device);
        delete device;
    }
    for (const Seen &s : seen) {
        if (m_byPath.contains(s.path))
            continue;
        auto *device = new HidApiDevice(s.path, s.properties, this);
        connect(device, &HidApiDevice::ioFailed, m_debounce, qOverload<>(&QTimer::start));
        m_byPath.insert(s.path, device);
        m_order.append(device);
        Q_EMIT deviceArrived(device);
    }
}

} // namespace flashwell
