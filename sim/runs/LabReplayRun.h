#pragma once

#include "platform/RecordingReader.h"

#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace flashwell::lab {

struct LabReplayOptions
{
    QString recordingPath;
    // The firmware file to update with; a recording does not carry one.
    QString firmwarePath;
    bool realTime = false;
    // The replay recorded in turn (a round trip must give the same reports).
    QString recordPath;
};

struct ReplayResult
{
    enum class Outcome { Success, Failed, Diverged };
    Outcome outcome = Outcome::Failed;
    QString message;
    int reports = 0; // output reports that matched the recording
    int64_t virtualMs = 0;

    QString outcomeName() const;
};

// Replays a recording against the unchanged product: the recording's devices on the virtual bus
// (ReplayDevices) and on the product side the same run as the one recorded: a whole update through
// the update workflow with a lab server that lists the recorded releases, or, for a recording of
// a bootloader session alone, that session. Nothing of it touches a real device.
class LabReplayRun
{
public:
    explicit LabReplayRun(LabReplayOptions options);

    // Lines as the lab prints them (state changes, callbacks, a differing firmware).
    std::function<void(const QJsonObject &)> onLine;

    // Reads and checks the recording and the firmware file; false with `error` set.
    bool load(QString *error);
    // After load().
    ReplayResult run();
    const Recording &recording() const { return *m_recording; }

private:
    ReplayResult runFlash();
    ReplayResult runUpdate();
    void line(const QJsonObject &object);

    LabReplayOptions m_options;
    std::optional<Recording> m_recording;
};

} // namespace flashwell::lab
