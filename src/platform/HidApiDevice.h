#pragma once

#include "platform/HidDevice.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace flashwell {

// A real device through hidapi. hidapi 0.13 is not safe to use from two threads on one handle,
// so once open, one I/O thread owns the hid_device: it performs the writes handed to it, reads with
// a short time-out and hands each input report to the UI thread.
class HidApiDevice final : public HidDevice
{
    Q_OBJECT
public:
    HidApiDevice(QString path, QVariantMap properties, QObject *parent = nullptr);
    ~HidApiDevice() override;

    // A transient error (a busy endpoint, a stall reported once) must not end the device; this many
    // failed reads in a row mean the handle is dead (the node went away, maybe to come back).
    static constexpr int kReadFailuresUntilLost = 20;

    const QString &path() const { return m_path; }
    IOReturn open() override;
    int openErrno() const override { return m_openErrno; }
    // Waits until the I/O thread has written the report (at most about a second) and returns what
    // the write gave, so the sender learns of a failure with the report that failed.
    IOReturn setReport(std::span<const uint8_t> report) override;

    // True once reads have kept failing: the handle no longer reaches a device, even if a device
    // now stands at the same path. The backend then replaces this object.
    bool lost() const { return m_lost; }
    // True while the last open failed (the node not created yet, or its permissions not set).
    bool openFailed() const { return m_openFailed; }

Q_SIGNALS:
    // A read or write failed; the backend enumerates again to tell a gone device from a hiccup.
    void ioFailed();

private:
    struct Write
    {
        std::vector<uint8_t> bytes;
        bool done = false;
        bool ok = false;
        bool abandoned = false; // the sender stopped waiting; not to be written any more
    };

    void ioLoop(void *handle);
    void stopIo();
    void reportFailure();

    QString m_path;
    bool m_numberedReports = false;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_written;
    std::deque<std::shared_ptr<Write>> m_writes;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_lost{false};
    std::atomic<bool> m_failureSignalled{false};
    bool m_openFailed = false;
    int m_openErrno = 0;
};

} // namespace flashwell
