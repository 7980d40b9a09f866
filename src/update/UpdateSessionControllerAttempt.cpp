// The update workflow's attempt: what holds from the press of update to the attempt's end, and
// what ends it for the sessions.
#include "update/UpdateSessionController.h"

#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"

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

} // namespace flashwell
