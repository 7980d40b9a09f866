#pragma once

#include "platform/VirtualHidBus.h"
#include "runs/LabFlashRun.h"
#include "runs/LabUpdateOptions.h"

#include <QJsonObject>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace flashwell {
class UpdateSessionController;
class VirtualScheduler;
} // namespace flashwell

namespace flashwell::lab {

class FlashMemory;
class VirtualBootloader;
class ReplayDevices;

struct UpdateRunResult
{
    bool success = false;
    uint64_t state = 0;
    QString message;
    int64_t virtualMs = 0;
};

// One whole update in the lab, the way the root controller and a user run it: a virtual
// normal-mode device on a virtual bus in virtual time, the real watchers, the update workflow's
// controller and the real server client (in real time, against ServerConfig's servers). It
// prints (through `onLine`) every state change, bootloader callback, alert and guide.
class LabUpdateRun
{
public:
    explicit LabUpdateRun(LabUpdateOptions options);
    ~LabUpdateRun();
    LabUpdateRun(const LabUpdateRun &) = delete;
    LabUpdateRun &operator=(const LabUpdateRun &) = delete;

    std::function<void(const QJsonObject &)> onLine;

    // Plug, list, check the row, press update, and follow the update to its end.
    UpdateRunResult run();

    // The steps of run(), for tests that act in between. Each returns false when it could not
    // get there (the result then says why).
    bool showScreen();        // the device is announced and the screen is in state 0 with its list
    bool pressUpdate();       // row checked, update pressed
    UpdateRunResult finish(); // follows the update to state 6, 7 or an alert
    // Runs virtual time and the event loop until `done` holds; false when the run ended or the
    // wall time ran out first.
    bool runUntil(const std::function<bool()> &done);

    // Ends the run now with this outcome (a replay that diverged).
    void endNow(bool success, const QString &message);
    // The step of the session that talks to `device` (its bootloader's), or what mode it is in.
    QString currentStep(HidDevice *device);
    // Why the recording could not be written (empty when it is fine or none was asked for).
    QString recordingError() const;
    ReplayDevices *replayDevices() const;

    UpdateSessionController &controller();
    VirtualHidBus &bus();
    VirtualScheduler &clock();
    // The bootloader's flash and the update's file (the downloaded one).
    const FlashMemory &flash() const;
    QJsonObject flashDump() const;
    QString firmwarePath() const;
    // Server requests still waiting for an answer.
    int requestsInFlight() const;
    const UpdateRunResult &result() const;
    // The bootloader model (null when a recording's devices stand in for it).
    VirtualBootloader *bootloader() const;

private:
    struct State;
    std::unique_ptr<State> m;
};

} // namespace flashwell::lab
