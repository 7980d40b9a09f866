#pragma once

#include "platform/HidDevice.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace flashwell {

// A real device through hidapi. hidapi 0.13 is not safe to use from two threads on one handle,
// so once open, one I/O thread owns the hid_device: it drains the write queue, reads with a
// short time-out and hands each input report to the UI thread.
class HidApiDevice final : public HidDevice
{
    Q_OBJECT
public:
    HidApiDevice(QString path, QVariantMap properties, QObject *parent = nullptr);
    ~HidApiDevice() override;

    const QString &path() const { return m_path; }
    IOReturn open() override;
    IOReturn setReport(std::span<const uint8_t> report) override;

Q_SIGNALS:
    // The device stopped answering on its node (unplugged or failed); the backend rescans.
    void ioFailed();

private:
    void ioLoop(void *handle);
    void stopIo();

    QString m_path;
    bool m_numberedReports = false;
    std::thread m_thread;
    std::mutex m_mutex;
    std::deque<std::vector<uint8_t>> m_writes;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_failed{false};
};

} // namespace flashwell
