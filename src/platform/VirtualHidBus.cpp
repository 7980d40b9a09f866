#include "platform/VirtualHidBus.h"

#include "platform/Scheduler.h"

#include <algorithm>

namespace flashwell {

namespace {
constexpr auto kWholeReport = static_cast<uint8_t>(kHidReportSize);
} // namespace

class VirtualHidDevice final : public HidDevice
{
public:
    VirtualHidDevice(VirtualHidBus &bus, const HidIdentity &identity, VirtualHidEndpoint *endpoint)
        : HidDevice(makeProperties(identity), &bus)
        , m_bus(bus)
        , m_endpoint(endpoint)
        , m_vendorId(identity.vendorId)
        , m_productId(identity.productId)
    {}

    IOReturn open() override { return m_bus.hostOpen(this); }
    IOReturn setReport(std::span<const uint8_t> report) override
    {
        if (!m_endpoint)
            return kIOReturnError;
        return m_bus.hostSend(this, report);
    }

    VirtualHidEndpoint *endpoint() const { return m_endpoint; }
    void detach() { m_endpoint = nullptr; }
    void receive(std::span<const uint8_t> bytes) { deliverInputReport(bytes); }
    // The identity it was plugged with (its "VendorID" and "ProductID" properties).
    uint16_t vendorId() const { return m_vendorId; }
    uint16_t productId() const { return m_productId; }

private:
    static QVariantMap makeProperties(const HidIdentity &identity)
    {
        QVariantMap p;
        p.insert(kHidVendorIDKey, identity.vendorId);
        p.insert(kHidProductIDKey, identity.productId);
        if (!identity.product.isNull())
            p.insert(kHidProductKey, identity.product);
        return p;
    }

    VirtualHidBus &m_bus;
    VirtualHidEndpoint *m_endpoint;
    uint16_t m_vendorId;
    uint16_t m_productId;
};

VirtualHidBus::VirtualHidBus(Scheduler &scheduler, QObject *parent)
    : HidBackend(parent)
    , m_scheduler(scheduler)
{}

VirtualHidBus::~VirtualHidBus()
{
    while (!m_devices.isEmpty())
        unplug(m_devices.last());
}

QList<HidDevice *> VirtualHidBus::devices() const
{
    QList<HidDevice *> out;
    out.reserve(m_devices.size());
    for (auto *d : m_devices)
        out.append(d);
    return out;
}

HidDevice *VirtualHidBus::plug(const HidIdentity &identity, VirtualHidEndpoint *endpoint)
{
    auto *device = new VirtualHidDevice(*this, identity, endpoint);
    m_devices.append(device);
    Q_EMIT deviceArrived(device);
    return device;
}

void VirtualHidBus::unplug(HidDevice *device)
{
    auto *virtualDevice = static_cast<VirtualHidDevice *>(device);
    if (!m_devices.removeOne(virtualDevice))
        return;
    virtualDevice->detach();
    Q_EMIT deviceRemoved(device);
    delete virtualDevice; // every HidDeviceRef to it reads null from here on
}

void VirtualHidBus::setOpenFails(uint16_t vendorId, uint16_t productId, bool fails)
{
    m_unopenable.removeAll(std::pair{vendorId, productId});
    if (fails)
        m_unopenable.append({vendorId, productId});
}

bool VirtualHidBus::opensFail(const HidDevice *device) const
{
    if (m_unopenable.isEmpty())
        return false;
    const auto *d = static_cast<const VirtualHidDevice *>(device);
    return m_unopenable.contains(std::pair{d->vendorId(), d->productId()});
}

IOReturn VirtualHidBus::hostOpen(VirtualHidDevice *device)
{
    if (!device->endpoint() || opensFail(device)) {
        Q_EMIT deviceOpenFailed(device);
        return kIOReturnError;
    }
    Q_EMIT deviceOpened(device);
    return kIOReturnSuccess;
}

void VirtualHidBus::injectFault(const HidFault &fault)
{
    m_faults.push_back({fault, std::max(1, fault.index)});
}

std::vector<VirtualHidBus::Delivery> VirtualHidBus::route(HidFault::Direction direction,
                                                          std::span<const uint8_t> report, bool &failSend, bool &unplug)
{
    HidReport bytes{};
    std::copy_n(report.begin(), std::min(report.size(), bytes.size()), bytes.begin());
    std::vector<Delivery> out{{m_latencyMs, bytes}};
    for (auto it = m_faults.begin(); it != m_faults.end();) {
        if (it->fault.direction != direction || --it->remaining > 0) {
            ++it;
            continue;
        }
        const HidFault f = it->fault;
        it = m_faults.erase(it);
        switch (f.kind) {
        case HidFault::Kind::Drop:
            out.clear();
            break;
        case HidFault::Kind::Duplicate:
            if (!out.empty())
                out.push_back(out.front());
            break;
        case HidFault::Kind::Delay:
            for (auto &d : out)
                d.delayMs += f.delayMs;
            break;
        case HidFault::Kind::Corrupt:
            for (auto &d : out)
                d.bytes[static_cast<std::size_t>(f.corruptByte) % kHidReportSize] ^= 0xFF;
            break;
        case HidFault::Kind::FailSend:
            failSend = true;
            out.clear();
            break;
        case HidFault::Kind::Unplug:
            unplug = true;
            out.clear();
            break;
        }
    }
    return out;
}

IOReturn VirtualHidBus::hostSend(VirtualHidDevice *device, std::span<const uint8_t> report)
{
    // A node the host may not open carries nothing either way.
    if (opensFail(device))
        return kIOReturnError;
    if (const IOReturn accepted = device->endpoint()->acceptOutputReport(device, report); accepted != kIOReturnSuccess)
        return accepted;
    bool failSend = false;
    bool unplugNow = false;
    // Without faults the report simply travels: no list of deliveries to build.
    const bool faultless = m_faults.empty();
    const auto deliveries =
        faultless ? std::vector<Delivery>{} : route(HidFault::Direction::HostToDevice, report, failSend, unplugNow);
    if (failSend)
        return kIOReturnError;

    Record &record = m_log.emplace_back();
    record.atMs = m_scheduler.nowMs();
    record.vendorId = device->vendorId();
    record.productId = device->productId();
    std::copy_n(report.begin(), std::min(report.size(), record.bytes.size()), record.bytes.begin());

    HidDeviceRef ref(device);
    if (unplugNow) {
        // Never destroy the device under the caller's feet: it is inside setReport.
        m_scheduler.after(
            0,
            [this, ref] {
                if (ref)
                    unplug(ref.data());
            },
            this);
        return kIOReturnSuccess;
    }
    if (faultless) {
        HidReport bytes{};
        std::copy_n(report.begin(), std::min(report.size(), bytes.size()), bytes.begin());
        travel(m_latencyMs, device, bytes, kWholeReport, true);
        return kIOReturnSuccess;
    }
    for (const auto &d : deliveries)
        travel(d.delayMs, device, d.bytes, kWholeReport, true);
    return kIOReturnSuccess;
}

void VirtualHidBus::sendInput(HidDevice *device, std::span<const uint8_t> report)
{
    if (!device || !m_devices.contains(static_cast<VirtualHidDevice *>(device)) || opensFail(device))
        return;
    bool failSend = false;
    bool unplugNow = false;
    const bool faultless = m_faults.empty();
    const auto deliveries =
        faultless ? std::vector<Delivery>{} : route(HidFault::Direction::DeviceToHost, report, failSend, unplugNow);
    HidDeviceRef ref(device);
    if (unplugNow) {
        m_scheduler.after(
            0,
            [this, ref] {
                if (ref)
                    unplug(ref.data());
            },
            this);
        return;
    }
    // The report's own length travels with it (a short report stays short); its bytes are held in
    // place, not in a buffer of their own.
    const auto length = static_cast<uint8_t>(std::min(report.size(), kHidReportSize));
    if (faultless) {
        HidReport bytes{};
        std::copy_n(report.begin(), length, bytes.begin());
        travel(m_latencyMs, device, bytes, length, false);
        return;
    }
    for (const auto &d : deliveries)
        travel(d.delayMs, device, d.bytes, length, false);
}

void VirtualHidBus::travel(int64_t delayMs, HidDevice *device, const HidReport &bytes, uint8_t length, bool toDevice)
{
    const uint32_t index = m_inFlight.acquire();
    InFlight &slot = m_inFlight[index];
    slot.device = device;
    slot.bytes = bytes;
    slot.length = length;
    slot.toDevice = toDevice;
    m_scheduler.after(
        delayMs, [this, index] { arrive(index); }, this);
}

void VirtualHidBus::arrive(uint32_t index)
{
    // Out of the pool before it is handed on: the receiver may send (and so reuse the slot).
    InFlight &slot = m_inFlight[index];
    auto *target = static_cast<VirtualHidDevice *>(slot.device.data());
    const HidReport bytes = slot.bytes;
    const uint8_t length = slot.length;
    const bool toDevice = slot.toDevice;
    slot.device = nullptr;
    m_inFlight.release(index);
    if (!target)
        return;
    if (!toDevice)
        target->receive(std::span<const uint8_t>(bytes.data(), length));
    else if (target->endpoint())
        target->endpoint()->onOutputReport(target, bytes);
}

} // namespace flashwell
