#pragma once

#include <QString>

namespace flashwell {

// How an update attempt ended, said once by the controller where it knows it, so that nobody
// watching it (history, command line, lab, sleep inhibitor) has to guess from states and alerts.
struct AttemptEnd
{
    enum class Outcome { Success, Failed, Cancelled, Interrupted };
    enum class Cause {
        Finished,       // the device reported the firmware written and verified
        Alert,          // a bootloader refused or failed; `reason` is the alert's message
        DownloadFailed, // the file never arrived; `reason` is the server's error
        DeviceLeft,     // the bootloader left while writing
        NoSignOfLife,   // the watchdog saw nothing for 20 s
        ReportNotSent,  // a data report could not be sent
        Left,           // the screen was left (or the program closed)
        Replaced,       // a new press started another attempt
        Stopped,        // whoever runs the update stopped it
    };

    Outcome outcome = Outcome::Failed;
    Cause cause = Cause::Alert;
    QString reason;

    bool operator==(const AttemptEnd &) const = default;
};

} // namespace flashwell
