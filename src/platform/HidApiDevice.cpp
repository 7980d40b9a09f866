#include "platform/HidApiDevice.h"
#include "platform/Bytes.h"

#include "platform/HidBackend.h"
#include "platform/HidWriteShaping.h"
#include "platform/Logging.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QSet>

#include <hidapi/hidapi.h>

#include <array>
#include <cerrno>
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
    return hidraw::reportDescriptorUsesReportIds(bytesOf(bytes));
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
    auto *backend = qobject_cast<HidBackend *>(parent());
    if (m_thread.joinable())
        return m_lost ? kIOReturnError : kIOReturnSuccess;
    hid_device *handle = hid_open_path(m_path.toLocal8Bit().constData());
    if (!handle) {
        m_openErrno = errno;
        m_openFailed = true;
        if (backend)
            Q_EMIT backend->deviceOpenFailed(this);
        // Once per device path: a watcher retries on every re-plug, the log need not.
        static QSet<QString> reported;
        if (reported.contains(m_path))
            return kIOReturnError;
        reported.insert(m_path);
        qCWarning(lcHid).noquote() << "cannot open" << m_path << ":" << lastHidError(nullptr)
                                   << "- if this is a permission problem, install the udev rules 70-flashwell.rules"
                                      " (the package does; see the README) and re-plug the device";
        return kIOReturnError;
    }
    m_openFailed = false;
    m_numberedReports = nodeUsesReportIds(m_path);
    m_stop = false;
    m_lost = false;
    m_thread = std::thread([this, handle] { ioLoop(handle); });
    if (backend)
        Q_EMIT backend->deviceOpened(this);
    return kIOReturnSuccess;
}

IOReturn HidApiDevice::setReport(std::span<const uint8_t> report)
{
    if (!m_thread.joinable() || m_lost)
        return kIOReturnError;
    auto write = std::make_shared<Write>();
    write->bytes = hidraw::shapeOutputReport(report, m_numberedReports);
    std::unique_lock lock(m_mutex);
    m_writes.push_back(write);
    // The I/O thread takes writes between reads of at most 50 ms; a second means it is stuck.
    if (!m_written.wait_for(lock, std::chrono::seconds(1), [&] { return write->done || m_lost.load(); })) {
        write->abandoned = true;
        qCWarning(lcHid).noquote() << "write to" << m_path << "timed out";
        return kIOReturnError;
    }
    return write->done && write->ok ? kIOReturnSuccess : kIOReturnError;
}

void HidApiDevice::reportFailure()
{
    // One signal per run of failures is enough for the backend to look again.
    if (!m_failureSignalled.exchange(true))
        QMetaObject::invokeMethod(this, &HidApiDevice::ioFailed, Qt::QueuedConnection);
}

void HidApiDevice::ioLoop(void *opaque)
{
    auto *handle = static_cast<hid_device *>(opaque);
    using Clock = std::chrono::steady_clock;
    int readFailures = 0;
    // hid_read_timeout cannot be woken by a new write, so while the device is busy we poll
    // with a 1 ms time-out and relax to 50 ms after a quiet second.
    auto lastActivity = Clock::now();
    std::array<uint8_t, 65> buffer{};
    while (!m_stop) {
        std::deque<std::shared_ptr<Write>> writes;
        {
            std::lock_guard lock(m_mutex);
            writes.swap(m_writes);
        }
        for (const auto &w : writes) {
            {
                std::lock_guard lock(m_mutex);
                if (w->abandoned)
                    continue;
            }
            const bool ok = hid_write(handle, w->bytes.data(), w->bytes.size()) >= 0;
            if (!ok) {
                qCWarning(lcHid).noquote() << "write to" << m_path << "failed:" << lastHidError(handle);
                reportFailure();
            }
            {
                std::lock_guard lock(m_mutex);
                w->done = true;
                w->ok = ok;
            }
            m_written.notify_all();
            lastActivity = Clock::now();
        }
        const bool busy = Clock::now() - lastActivity < std::chrono::seconds(1);
        const int n = hid_read_timeout(handle, buffer.data(), buffer.size(), busy ? 1 : 50);
        if (n < 0) {
            if (++readFailures == 1)
                qCWarning(lcHid).noquote() << "read from" << m_path << "failed:" << lastHidError(handle);
            reportFailure();
            if (readFailures >= kReadFailuresUntilLost) {
                m_lost = true;
                m_written.notify_all();
                break;
            }
            // A failing read returns at once; do not spin.
            std::this_thread::sleep_for(std::chrono::milliseconds(10 * readFailures));
            continue;
        }
        readFailures = 0;
        m_failureSignalled = false;
        if (n > 0) {
            lastActivity = Clock::now();
            std::vector<uint8_t> report(buffer.begin(), buffer.begin() + n);
            QMetaObject::invokeMethod(
                this, [this, report = std::move(report)] { deliverInputReport(report); }, Qt::QueuedConnection);
        }
    }
    // Writes still waiting fail now rather than after their time-out.
    {
        std::lock_guard lock(m_mutex);
        for (const auto &w : m_writes)
            w->done = true;
        m_writes.clear();
    }
    m_written.notify_all();
    hid_close(handle);
    if (m_lost && !m_stop)
        QMetaObject::invokeMethod(this, &HidApiDevice::ioFailed, Qt::QueuedConnection);
}

void HidApiDevice::stopIo()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace flashwell
