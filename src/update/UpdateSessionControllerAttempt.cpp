// The update workflow's attempt: what holds from the press of update to the attempt's end, and
// what ends it for the sessions.
#include "update/UpdateSessionController.h"

#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "platform/Bundle.h"

namespace flashwell {

std::optional<Firmware> UpdateSessionController::targetRelease() const
{
    return m_attempt ? m_attempt : checkedRelease();
}

bool UpdateSessionController::sessionRunning() const
{
    if (m_state == kStateWriting)
        return true;
    if (!attemptRunning())
        return false;
    return m_shidBoot.busy() || (m_services.vela2 && m_services.vela2->busy())
           || (m_services.hjz && m_services.hjz->busy());
}

void UpdateSessionController::endAttempt()
{
    m_attempt.reset();
    m_model.releaseFixed = false;
    m_shidBoot.filePath = QString();
    m_shidBoot.fileSource.clearBytes();
    m_shidBoot.isUSBRR_PS_classic = false;
    if (m_services.vela2) {
        m_services.vela2->filePath = QString();
        m_services.vela2->fileSource.clearBytes();
    }
    if (m_services.hjz) {
        m_services.hjz->filePath = QString();
        m_services.hjz->fileSource.clearBytes();
    }
    touch();
}

void UpdateSessionController::abandonSessions()
{
    if (!attemptRunning())
        return;
    m_shidBoot.abandon();
    if (m_services.vela2)
        m_services.vela2->abandon();
    if (m_services.hjz)
        m_services.hjz->abandon();
}

void UpdateSessionController::announceStart()
{
    if (m_announced || !m_attempt)
        return;
    m_announced = true;
    Q_EMIT attemptStarted(*m_attempt);
}

void UpdateSessionController::announceEnd(AttemptEnd::Outcome outcome, AttemptEnd::Cause cause, const QString &reason)
{
    if (!m_announced)
        return;
    m_announced = false;
    Q_EMIT attemptEnded(AttemptEnd{outcome, cause, reason});
}

AttemptEnd::Outcome UpdateSessionController::stopOutcome() const
{
    return m_state == kStateWriting ? AttemptEnd::Outcome::Interrupted : AttemptEnd::Outcome::Cancelled;
}

void UpdateSessionController::stopAttempt(AttemptEnd::Cause cause, const QString &reason)
{
    const AttemptEnd::Outcome outcome = stopOutcome();
    abandonSessions();
    stopTimer();
    endAttempt();
    announceEnd(outcome, cause, reason);
}

void UpdateSessionController::updateingError(AttemptEnd::Cause cause)
{
    // No update, no update error (a transfer outside an attempt is not the screen's to report).
    if (!attemptRunning())
        return;
    // The device stopped answering: the sessions stop talking until its bootloader returns.
    abandonSessions();
    setState(kStateFailed);
    showGuide(true);
    stopTimer();
    announceEnd(
        AttemptEnd::Outcome::Failed, cause,
        Bundle::localizedString(cause == AttemptEnd::Cause::DeviceLeft ? "historyDeviceLeft" : "historyNoSignOfLife"));
}

} // namespace flashwell
