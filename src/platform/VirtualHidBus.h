#pragma once

#include "platform/HidBackend.h"
#include "platform/HidReport.h"
#include "platform/SlotPool.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <span>
#include <vector>

namespace flashwell {

class Scheduler;
class VirtualHidDevice;

// The device side of a virtual HID device: the lab's device models implement it.
class VirtualHidEndpoint
{
public:
    virtual ~VirtualHidEndpoint() = default;
    // An output report the host sent, delivered through the scheduler.
    virtual void onOutputReport(HidDevice *device, std::span<const uint8_t> report) = 0;
    // Called inside the host's send, before the report travels: what the send returns. A device
    // that fails a send (a replayed one whose recording says so) answers an error; the report then
    // goes nowhere.
    virtual IOReturn acceptOutputReport(HidDevice *device, std::span<const uint8_t> report)
    {
        (void)device;
        (void)report;
        return kIOReturnSuccess;
    }
};

struct HidIdentity
{
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    QString product;
};

// A fault the bus applies to the `index`-th report (1-based, counted from when the fault was
// injected) travelling in `direction`.
struct HidFault
{
    enum class Kind { Drop, Duplicate, Delay, Corrupt, FailSend, Unplug };
    enum class Direction { HostToDevice, DeviceToHost };

    Kind kind = Kind::Drop;
    Direction direction = Direction::HostToDevice;
    int index = 1;
    int64_t delayMs = 0; // Delay
    int corruptByte = 0; // Corrupt: this byte is inverted
};

// In-memory HID bus: devices are plugged and unplugged by the lab, every report travels through
// the scheduler (so virtual time clocks it) and every output report is recorded in order.
class VirtualHidBus final : public HidBackend
{
    Q_OBJECT
public:
    struct Record
    {
        int64_t atMs = 0;
        uint16_t vendorId = 0;
        uint16_t productId = 0;
        HidReport bytes{};
    };

    explicit VirtualHidBus(Scheduler &scheduler, QObject *parent = nullptr);
    ~VirtualHidBus() override;

    QList<HidDevice *> devices() const override;

    // The endpoint must stay alive while plugged; unplug before destroying it.
    HidDevice *plug(const HidIdentity &identity, VirtualHidEndpoint *endpoint);
    void unplug(HidDevice *device);
    // Device to host: the report reaches the host's callback after the bus latency.
    void sendInput(HidDevice *device, std::span<const uint8_t> report);

    void setLatencyMs(int64_t ms) { m_latencyMs = ms; }
    int64_t latencyMs() const { return m_latencyMs; }
    void injectFault(const HidFault &fault);
    // While set, every `open` of a device with this identity fails and none of its reports travels,
    // as with hidraw nodes the user has no permission for (set it before plugging: watchers open a
    // device as it arrives).
    void setOpenFails(uint16_t vendorId, uint16_t productId, bool fails);

    const std::vector<Record> &outputLog() const { return m_log; }
    void clearLog() { m_log.clear(); }
    Scheduler &scheduler() const { return m_scheduler; }

private:
    friend class VirtualHidDevice;
    IOReturn hostSend(VirtualHidDevice *device, std::span<const uint8_t> report);
    IOReturn hostOpen(VirtualHidDevice *device);
    // Applies the faults due for the next report in `direction`; returns the deliveries to
    // make (none when dropped) and sets `failSend` / `unplug` when asked to.
    struct Delivery
    {
        int64_t delayMs;
        HidReport bytes;
    };
    std::vector<Delivery> route(HidFault::Direction direction, std::span<const uint8_t> report, bool &failSend,
                                bool &unplug);

    struct PendingFault
    {
        HidFault fault;
        int remaining;
    };

    // A report on its way, held by the bus so that its task carries only an index (small enough
    // for std::function to keep without an allocation of its own).
    struct InFlight
    {
        QPointer<HidDevice> device;
        HidReport bytes{};
        uint8_t length = 0;
        bool toDevice = false;
    };
    void travel(int64_t delayMs, HidDevice *device, const HidReport &bytes, uint8_t length, bool toDevice);
    void arrive(uint32_t index);

    Scheduler &m_scheduler;
    QList<VirtualHidDevice *> m_devices;
    bool opensFail(const HidDevice *device) const;
    QList<std::pair<uint16_t, uint16_t>> m_unopenable; // vendor, product
    std::vector<Record> m_log;
    std::vector<PendingFault> m_faults;
    SlotPool<InFlight> m_inFlight;
    int64_t m_latencyMs = 1;
};

} // namespace flashwell
