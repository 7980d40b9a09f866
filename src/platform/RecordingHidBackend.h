#pragma once

#include "platform/HidBackend.h"

#include <QHash>
#include <QList>
#include <QPointer>

#include <functional>

namespace flashwell {

class RecordingWriter;
class RecordingHidDevice;

// Records what passes between the host and the devices of another backend: arrivals, departures,
// failed opens, every output report with what its send gave and every input report. It stands in
// for that backend (the same devices, the same signals) and only observes: every call goes through
// unchanged and at once, and the only thing added is the line written. Devices the filter turns
// down pass through unrecorded (a recording carries our devices, not the keyboard). Handles are
// "d1", "d2"… in order of arrival, never a path.
class RecordingHidBackend final : public HidBackend
{
    Q_OBJECT
public:
    using Filter = std::function<bool(const HidDevice &device)>;

    RecordingHidBackend(HidBackend &inner, RecordingWriter &writer, Filter filter = {}, QObject *parent = nullptr);
    ~RecordingHidBackend() override;

    QList<HidDevice *> devices() const override;
    HidBackend &inner() const { return m_inner; }
    // A recording begins now (its writer was just opened): the devices attached are written as
    // arrived and reports are counted from 1 again.
    void beginRecording();

private:
    friend class RecordingHidDevice;
    HidDevice *wrap(HidDevice *device);
    void writeArrival(const RecordingHidDevice &wrapper);
    HidDevice *outer(HidDevice *device) const;
    void onArrived(HidDevice *device);
    void onRemoved(HidDevice *device);
    void recordOutput(const RecordingHidDevice &device, std::span<const uint8_t> report, IOReturn result);
    void recordInput(const RecordingHidDevice &device, std::span<const uint8_t> report);

    HidBackend &m_inner;
    RecordingWriter &m_writer;
    Filter m_filter;
    QHash<HidDevice *, RecordingHidDevice *> m_wrappers; // by the inner device
    int m_nextHandle = 1;
    int m_outputReports = 0;
};

} // namespace flashwell
