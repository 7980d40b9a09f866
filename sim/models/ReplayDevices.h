#pragma once

#include "platform/RecordingReader.h"
#include "platform/VirtualHidBus.h"

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace flashwell::lab {

// The devices of a recording, played back on the virtual bus. They arrive and leave as the
// recording says and answer the host: an output report that equals the next recorded one is
// accepted with the recorded result, and the events that followed it (answers, departures,
// arrivals, unsolicited reports) come at their recorded delays after it. The first report that
// differs (or one sent after the recording's last) is a divergence; from then on nothing is played.
// The update's steps ("start", "firmware") anchor the events that followed them, as the reports do.
class ReplayDevices final : public QObject
{
    Q_OBJECT
public:
    struct Divergence
    {
        int report = 0; // the recording's index of the report expected (past the last: one more)
        QString handle;
        QString step; // the session's step, where known
        QByteArray expected;
        QByteArray got;
        QString message;
    };

    ReplayDevices(const Recording &recording, VirtualHidBus &bus, QObject *parent = nullptr);
    ~ReplayDevices() override;

    // Plays the events before the first report, from now.
    void start();
    // The product reached an update step; at "outcome" the replay is over.
    void hostStep(const QString &step);
    // The attempt is over (the recording ends with it): whatever the product still sends is not
    // compared, and nothing more is played.
    void finish() { m_finished = true; }

    // The step the product's session is in, for a divergence message.
    std::function<QString(HidDevice *device)> currentStep;
    std::function<void(const Divergence &)> onDiverged;

    const std::optional<Divergence> &divergence() const { return m_divergence; }
    int reportsMatched() const { return m_matched; }

private:
    class Endpoint;
    IOReturn onOutput(Endpoint &endpoint, HidDevice *device, std::span<const uint8_t> report);
    // Schedules the device events after the sync point at `index` (events before the first sync
    // point for -1), each at its recorded delay after that point.
    void playAfter(int index);
    void play(const RecordingEvent &event);
    int nextSync() const;

    const Recording &m_recording;
    VirtualHidBus &m_bus;
    std::map<QString, std::unique_ptr<Endpoint>> m_endpoints;
    std::vector<int> m_syncs; // indices of output reports and anchoring steps
    std::size_t m_nextSync = 0;
    int m_matched = 0;
    bool m_finished = false;
    std::optional<Divergence> m_divergence;
};

// Bytes as the divergence message shows them: "0a 1b …", at most the first 64.
QString replayHex(const QByteArray &bytes);

} // namespace flashwell::lab
