#pragma once

#include "platform/HidReport.h"
#include "platform/VirtualHidBus.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <cerrno>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

// umockdev's own name for its test bed, declared so that this header needs no GLib.
struct _UMockdevTestbed; // NOLINT(bugprone-reserved-identifier)

namespace flashwell::lab {

// The second transport of the lab's device models: every device plugged into `deviceSide` (a
// virtual bus the models live on) appears as an emulated hidraw node in a umockdev testbed, so the
// product's real hidapi backend finds, opens, writes and reads it like a kernel device.
//
// The node does only what this bridge does, so the kernel's rules live here, once:
// - a write shorter than 2 bytes is refused (EINVAL);
// - on a device without numbered reports the first byte of every write is the report ID 0 and is
//   stripped (whatever its value), on a numbered one the buffer goes out as it is;
// - reads return one whole report; the pty under the node loses report boundaries, so each
//   queued report is announced by one "doorbell" byte that the read consumes, to make poll() wake.
// Devices whose vendor ID is 0x057E or 0x054C (the borrowed identities) declare numbered reports.
//
// Create it before anything touches udev or hidapi: the testbed must exist before the mock
// environment is asked about. Run the test binary under umockdev-wrapper.
class UMockdevHidraw final : public QObject
{
    Q_OBJECT
public:
    explicit UMockdevHidraw(VirtualHidBus &deviceSide, QObject *parent = nullptr);
    ~UMockdevHidraw() override;

    static bool inMockEnvironment();

    // Every write the host made, as it reached the node (before the kernel's stripping).
    struct Write
    {
        uint16_t productId;
        std::vector<uint8_t> bytes;
    };
    std::vector<Write> writes() const;

    // The next `count` writes to any node fail with `error` (as a busy endpoint gives EAGAIN),
    // without reaching the device.
    void failWrites(int count, int error = EAGAIN)
    {
        m_writeError = error;
        m_failWrites = count;
    }
    // The next `count` reads from the node of `productId` fail with `error` (as a dying endpoint
    // gives EIO), one after another: the node stays readable until they are used up.
    void failReads(uint16_t productId, int count, int error = EIO);
    int readFaultsLeft() const { return m_failReads.load(); }
    // Called from the testbed's thread: true (and `error` set) when this read is to fail.
    bool takeReadFault(int &error)
    {
        int left = m_failReads.load();
        while (left > 0)
            if (m_failReads.compare_exchange_weak(left, left - 1)) {
                error = m_readError;
                return true;
            }
        return false;
    }
    // Called from the testbed's thread: true (and `error` set) when this write is to fail.
    bool takeWriteFault(int &error)
    {
        int left = m_failWrites.load();
        while (left > 0)
            if (m_failWrites.compare_exchange_weak(left, left - 1)) {
                error = m_writeError;
                return true;
            }
        return false;
    }

    // Nodes of devices plugged from now on appear `ms` after the device is announced, as udev
    // creates a node (or gives it its permissions) a moment after the kernel's event.
    void setNodeDelay(int ms) { m_nodeDelayMs = ms; }

    struct Node;
    // Called from the testbed's thread for every write.
    void recordWrite(uint16_t productId, const std::vector<uint8_t> &bytes)
    {
        std::lock_guard lock(m_writesMutex);
        m_writes.push_back({productId, bytes});
    }
    void deliverToDevice(int node, std::vector<uint8_t> report);

private:
    void onPlugged(HidDevice *device);
    void onUnplugged(HidDevice *device);
    void queueForHost(Node &node, std::span<const uint8_t> report);
    void removeNode(Node &node);
    // Creates the device node and answers on it.
    void attachNode(Node &node);

    _UMockdevTestbed *m_testbed;
    std::vector<std::unique_ptr<Node>> m_nodes; // kept until the end: the testbed may still call them
    int m_nodeDelayMs = 0;
    std::atomic<int> m_failWrites{0};
    std::atomic<int> m_failReads{0};
    std::atomic<int> m_readError{EIO};
    std::atomic<int> m_writeError{EAGAIN};
    mutable std::mutex m_writesMutex;
    std::vector<Write> m_writes;
};

} // namespace flashwell::lab
