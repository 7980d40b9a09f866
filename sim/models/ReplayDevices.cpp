#include "models/ReplayDevices.h"

#include "platform/Bytes.h"
#include "platform/Scheduler.h"

#include <algorithm>

namespace flashwell::lab {

namespace {
bool anchors(const RecordingEvent &e)
{
    return e.kind == RecordingEvent::Kind::Output
           || (e.kind == RecordingEvent::Kind::Update
               && (e.step == QLatin1String("start") || e.step == QLatin1String("firmware")));
}
} // namespace

QString replayHex(const QByteArray &bytes)
{
    QString out = QString::fromLatin1(bytes.left(64).toHex(' '));
    if (bytes.size() > 64)
        out += QStringLiteral(" …");
    return out;
}

class ReplayDevices::Endpoint final : public VirtualHidEndpoint
{
public:
    Endpoint(ReplayDevices &replay, const RecordingEvent &arrivedEvent)
        : owner(replay)
        , arrival(arrivedEvent)
    {}

    IOReturn acceptOutputReport(HidDevice *hid, std::span<const uint8_t> report) override
    {
        return owner.onOutput(*this, hid, report);
    }
    void onOutputReport(HidDevice *, std::span<const uint8_t>) override {}

    ReplayDevices &owner;
    const RecordingEvent &arrival;
    HidDeviceRef device;
};

ReplayDevices::ReplayDevices(const Recording &recording, VirtualHidBus &bus, QObject *parent)
    : QObject(parent)
    , m_recording(recording)
    , m_bus(bus)
{
    for (std::size_t i = 0; i < recording.events.size(); ++i) {
        const RecordingEvent &e = recording.events[i];
        if (anchors(e))
            m_syncs.push_back(static_cast<int>(i));
        // A handle that arrives again (re-plugged) keeps its endpoint.
        if (e.kind == RecordingEvent::Kind::Arrived && !m_endpoints.count(e.handle))
            m_endpoints[e.handle] = std::make_unique<Endpoint>(*this, e);
    }
}

ReplayDevices::~ReplayDevices()
{
    for (auto &[handle, endpoint] : m_endpoints) {
        if (endpoint->device)
            m_bus.unplug(endpoint->device.data());
    }
}

void ReplayDevices::start()
{
    playAfter(-1);
}

int ReplayDevices::nextSync() const
{
    return m_nextSync < m_syncs.size() ? m_syncs[m_nextSync] : -1;
}

void ReplayDevices::hostStep(const QString &step)
{
    if (step == QLatin1String("outcome"))
        finish();
    if (m_divergence || m_finished)
        return;
    // A step the recording reached at this point anchors what followed it; any other is not ours
    // to judge (the reports are).
    const int index = nextSync();
    if (index < 0)
        return;
    const RecordingEvent &e = m_recording.events[static_cast<std::size_t>(index)];
    if (e.kind == RecordingEvent::Kind::Update && e.step == step) {
        ++m_nextSync;
        playAfter(index);
    }
}

IOReturn ReplayDevices::onOutput(Endpoint &endpoint, HidDevice *device, std::span<const uint8_t> report)
{
    if (m_divergence || m_finished)
        return kIOReturnSuccess;
    // Steps the product passed without saying so (a recording made elsewhere) give way to a report.
    while (nextSync() >= 0
           && m_recording.events[static_cast<std::size_t>(nextSync())].kind == RecordingEvent::Kind::Update) {
        const int index = nextSync();
        ++m_nextSync;
        playAfter(index);
    }
    const QByteArray got = byteArrayOf(report);
    const int index = nextSync();
    Divergence d;
    d.handle = endpoint.arrival.handle;
    d.got = got;
    if (index < 0) {
        d.report = m_recording.outputReports + 1;
        d.message =
            QStringLiteral("report %1 was sent to %2 after the recording's last report").arg(d.report).arg(d.handle);
    } else {
        const RecordingEvent &e = m_recording.events[static_cast<std::size_t>(index)];
        if (e.handle == d.handle && e.bytes == got) {
            ++m_nextSync;
            ++m_matched;
            playAfter(index);
            return e.result;
        }
        d.report = e.report;
        d.expected = e.bytes;
        if (e.handle != d.handle)
            d.message = QStringLiteral("report %1 went to device %2, the recording sent it to %3")
                            .arg(e.report)
                            .arg(d.handle, e.handle);
        else
            d.message = QStringLiteral("report %1 differs").arg(e.report);
    }
    if (currentStep)
        d.step = currentStep(device);
    if (!d.step.isEmpty())
        d.message += QStringLiteral(" (step: %1)").arg(d.step);
    if (!d.expected.isEmpty())
        d.message += QStringLiteral(": expected %1, got %2").arg(replayHex(d.expected), replayHex(d.got));
    else
        d.message += QStringLiteral(": got %1").arg(replayHex(d.got));
    m_divergence = d;
    if (onDiverged)
        onDiverged(d);
    return kIOReturnSuccess;
}

void ReplayDevices::playAfter(int index)
{
    const int64_t anchorT = index < 0 ? 0 : m_recording.events[static_cast<std::size_t>(index)].t;
    Scheduler &clock = m_bus.scheduler();
    const int first = index + 1;
    for (auto i = static_cast<std::size_t>(first); i < m_recording.events.size(); ++i) {
        const RecordingEvent &e = m_recording.events[i];
        if (anchors(e))
            break;
        if (e.kind != RecordingEvent::Kind::Arrived && e.kind != RecordingEvent::Kind::Left
            && e.kind != RecordingEvent::Kind::Input)
            continue;
        int64_t delay = e.t - anchorT;
        // The bus adds its latency to a device's report on its way to the host.
        if (e.kind == RecordingEvent::Kind::Input)
            delay = std::max<int64_t>(0, delay - m_bus.latencyMs());
        clock.after(
            delay,
            [this, &e] {
                if (!m_divergence && !m_finished)
                    play(e);
            },
            this);
    }
}

void ReplayDevices::play(const RecordingEvent &e)
{
    const auto it = m_endpoints.find(e.handle);
    if (it == m_endpoints.end())
        return;
    Endpoint &endpoint = *it->second;
    switch (e.kind) {
    case RecordingEvent::Kind::Arrived: {
        // A device the host could not open (a recorded permission problem) cannot be opened here either.
        const bool unopenable = std::any_of(m_recording.events.begin(), m_recording.events.end(), [&](const auto &o) {
            return o.kind == RecordingEvent::Kind::OpenFailed && o.handle == e.handle;
        });
        m_bus.setOpenFails(e.vendorId, e.productId, unopenable);
        endpoint.device = m_bus.plug({e.vendorId, e.productId, e.product.isEmpty() ? QString() : e.product}, &endpoint);
        break;
    }
    case RecordingEvent::Kind::Left:
        if (endpoint.device)
            m_bus.unplug(endpoint.device.data());
        break;
    case RecordingEvent::Kind::Input:
        if (endpoint.device)
            m_bus.sendInput(endpoint.device.data(), bytesOf(e.bytes));
        break;
    default:
        break;
    }
}

} // namespace flashwell::lab
