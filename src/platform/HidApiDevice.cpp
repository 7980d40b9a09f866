#include "platform/HidApiDevice.h"

#include "platform/HidWriteShaping.h"
#include "platform/Logging.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QSet>

#include <hidapi/hidapi.h>

#include <array>
#include <chrono>

namespace flashwell {

namespace {

// hidraw nodes describe their reports in sysfs; other paths (no sysfs) count as unnumbered.
bool nodeUsesReportIds(const QString &path)
{
    const QString node = QFileInfo(path).fileName();
    QFile file(QStringLiteral("/sys/class/hidraw/%1/device/report_descriptor").arg(node));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    return hidraw::reportDescriptorUsesReportIds(
        {reinterpret_cast<const uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size())});
}

QString lastHidError(hid_device *handle)
{
    const wchar_t *text = hid_error(handle);
    return text ? QString::fromWCharArray(text) : QStringLiteral("unknown error");
}

} // namespace

HidApiDevice::HidApiDevice(QString path, QVariantMap properties, QObject *parent)
    : HidDevice(std::move(properties), parent)
    , m_path(std::move(path))
{}

HidApiDevice::~HidApiDevice()
{
    stopIo();
}

IOReturn HidApiDevice::open()
{
    if (m_thread.joinable())
        return kIOReturnSuccess;
    hid_device *handle = hid_open_path(m_path.toLocal8Bit().constData());
    if (!handle) {
        // Once per device path: a watcher retries on every re-plug, the log need not.
        static QSet<QString> reported;
        if (reported.contains(m_path))
            return kIOReturnError;
        reported.insert(m_path);
        qCWarning(lcHid).noquote() << "cannot open" << m_path << ":" << lastHidError(nullptr)
                                   << "- if this is a permission problem, install packaging/70-flashwell.rules into"
                                      " /etc/udev/rules.d and re-plug the device";
        return kIOReturnError;
    }
    m_numberedReports = nodeUsesReportIds(m_path);
    m_stop = false;
    m_failed = false;
    m_thread = std::thread([this, handle] { ioLoop(handle); });
    return kIOReturnSuccess;
}

IOReturn HidApiDevice::setReport(std::span<const uint8_t> report)
{
    if (!m_thread.joinable() || m_failed)
        return kIOReturnError;
    auto shaped = hidraw::shapeOutputReport(report, m_numberedReports);
    std::lock_guard lock(m_mutex);
    m_writes.push_back(std::move(shaped));
    return kIOReturnSuccess;
}

void HidApiDevice::ioLoop(void *opaque)
{
    auto *handle = static_cast<hid_device *>(opaque);
    using Clock = std::chrono::steady_clock;
    // hid_read_timeout cannot be woken by a new write, so while the device is busy we poll
    // with a 1 ms time-out and relax to 50 ms after a quiet second.
    auto lastActivity = Clock::now();
    std::array<uint8_t, 65> buffer{};
    while (!m_stop) {
        std::deque<std::vector<uint8_t>> writes;
        {
            std::lock_guard lock(m_mutex);
            writes.swap(m_writes);
        }
        for (const auto &w : writes) {
            if (hid_write(handle, w.data(), w.size()) < 0) {
                qCWarning(lcHid).noquote() << "write to" << m_path << "failed:" << lastHidError(handle);
                m_failed = true;
                break;
            }
            lastActivity = Clock::now();
        }
        if (m_failed)
            break;
        const bool busy = Clock::now() - lastActivity < std::chrono::seconds(1);
        const int n = hid_read_timeout(handle, buffer.data(), buffer.size(), busy ? 1 : 50);
        if (n < 0) {
            m_failed = true;
            break;
        }
        if (n > 0) {
            lastActivity = Clock::now();
            std::vector<uint8_t> report(buffer.begin(), buffer.begin() + n);
            QMetaObject::invokeMethod(
                this, [this, report = std::move(report)] { deliverInputReport(report); }, Qt::QueuedConnection);
        }
    }
    hid_close(handle);
    if (m_failed && !m_stop)
        QMetaObject::invokeMethod(this, &HidApiDevice::ioFailed, Qt::QueuedConnection);
}

void HidApiDevice::stopIo()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace flashwell
