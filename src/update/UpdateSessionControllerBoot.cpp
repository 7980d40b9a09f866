// The update workflow's bootloader side: switching the device into its bootloader, and what the
// sessions report while they identify, write and verify.
#include "update/UpdateSessionController.h"

#include "boot/ClassicFrames.h"
#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "device/HidTransport.h"
#include "device/Language.h"
#include "device/SHIDDinput.h"
#include "platform/Bundle.h"
#include "update/BootSwitch.h"

namespace flashwell {

namespace {
QString text(const char *key)
{
    return Bundle::localizedString(key);
}

void sendVersionQuery(HidDevice *device)
{
    transport::sendFramedPacket(device, transport::kGuard, classic::kCommandVersion, {});
}
} // namespace

// --- boot-mode switching ---

void UpdateSessionController::changeBoot()
{
    m_model.updateButton.background = m_model.updateButton.highlight;
    touch();
    const boot_switch::Decision decision =
        boot_switch::changeBoot(boot_switch::Facts::of(m_device.get(), targetRelease(), bootloaderAttached()));
    switch (decision.step) {
    case boot_switch::Step::ReadPid:
        if (m_services.vela2)
            m_services.vela2->readPID();
        break;
    case boot_switch::Step::HjzRead:
        hjzReadVersion();
        break;
    case boot_switch::Step::QueryBootloader:
        // For a classic bootloader this query is what starts its session's exchange.
        sendVersionQuery(m_bootDeviceRef.data());
        if (m_services.vela2)
            m_services.vela2->readPID();
        break;
    case boot_switch::Step::SwitchReport:
        transport::UpdatepWithValue(m_device->deviceRef.data(), transport::kGuard, decision.command, decision.reportId,
                                    decision.value);
        break;
    case boot_switch::Step::DinputSwitch:
        SHIDDinput::boot(m_device->deviceRef.data());
        break;
    case boot_switch::Step::Guide:
        noChangeBoot();
        break;
    }
}

void UpdateSessionController::noChangeBoot()
{
    setState(kStateManual);
    showGuide(false);
}

// The HJZ session only notices its device; with a downloaded file in hand the page writing starts
// here, since nothing else would start it.
void UpdateSessionController::hjzReadVersion()
{
    if (!m_services.hjz)
        return;
    m_services.hjz->readVersion();
    if (attemptRunning() && !m_services.hjz->filePath.isEmpty() && m_services.hjz->device())
        m_services.hjz->startUpdate();
}

// --- bootloader callbacks ---

void UpdateSessionController::SHIDBootAddDevice(const SFenwykDevicePtr &device, SHIDManager *)
{
    if (UpdateViewDelegat *d = delegate())
        d->addBootDevice(this);
    m_bootDeviceRef = device ? device->deviceRef : HidDeviceRef();
    m_bootState = 1;
    const HidDeviceRef arrived = m_bootDeviceRef;
    sendVersionQuery(arrived.data());
    scheduler().after(
        kDelayedSendMs,
        [this, arrived] {
            if (m_version == 0.0f)
                sendVersionQuery(arrived.data());
        },
        this);
    removeGuide();
    // Outside an attempt the device is only announced and asked its version: nothing is written.
    if (!resumesAttempt())
        return;
    if (m_state == kStateFailed) {
        watchRestart();
        scheduler().after(
            kDelayedSendMs,
            [arrived] { transport::sendShortFrame(arrived.data(), transport::kGuard, classic::kInfoRequestKind, 0); },
            this);
    }
    if (m_services.vela2)
        m_services.vela2->readPID();
}

bool UpdateSessionController::resumesAttempt() const
{
    return attemptRunning() && (m_state == kStatePreparing || m_state == kStateManual || m_state == kStateFailed);
}

void UpdateSessionController::watchRestart()
{
    // The restarted attempt runs under the watchdog as the first one did.
    initTimer();
    m_lastTimer = scheduler().nowMs();
}

void UpdateSessionController::SHIDBootHJZUpdate(SHIDBootHJZ *, const SFenwykDevicePtr &device)
{
    if (UpdateViewDelegat *d = delegate())
        d->addBootDevice(this);
    m_bootState = 1;
    // Held weakly, so that the device's leaving ends what it made possible.
    m_bootDeviceRef = device ? device->deviceRef : HidDeviceRef();
    removeGuide();
    if (!resumesAttempt())
        return;
    if (m_state == kStateFailed)
        watchRestart();
    hjzReadVersion();
}

void UpdateSessionController::SHIDBootHJZRemoveDevice(SHIDBootHJZ *)
{
    m_bootDeviceRef = nullptr;
    m_bootState = 0;
    if (m_state == kStateWriting)
        updateingError(AttemptEnd::Cause::DeviceLeft);
}

void UpdateSessionController::SHIDBootRemoveDevice(const SFenwykDevicePtr &, SHIDManager *)
{
    m_bootDeviceRef = nullptr;
    m_bootState = 0;
    if (m_state == kStateWriting)
        updateingError(AttemptEnd::Cause::DeviceLeft);
}

void UpdateSessionController::SHIDBootGetFirmwaerType(uint32_t, SHIDManager *)
{
    loadV1AndV2();
}

void UpdateSessionController::SHIDBootGetVersion(const SFenwykDevicePtr &device, SHIDManager *)
{
    takeBootloaderVersion(device);
}

void UpdateSessionController::takeBootloaderVersion(const SFenwykDevicePtr &device)
{
    if (!device || device->version() == 0.0f)
        return;
    m_version = device->version();
    m_beta = static_cast<float>(device->beta);
    // Without a release at the checked row the target stays what it was.
    if (const auto release = targetRelease()) {
        m_targerVersion = release->version;
        m_targetBeta = release->beta;
    }
    m_model.hint = getFirmwaerHintVersion(m_version, static_cast<int32_t>(m_beta), m_targerVersion);
    touch();
}

void UpdateSessionController::SHIDBootHJZGetVersion(const SFenwykDevicePtr &device)
{
    takeBootloaderVersion(device);
}

void UpdateSessionController::SHIDBootStartUpdate(SHIDManager *)
{
    writingStarted();
}

void UpdateSessionController::writingStarted()
{
    // A restart after the error guide is a new start for those watching.
    announceStart();
    setState(kStateWriting);
    removeGuide();
    m_model.updateButton.title = QString();
    m_model.updateButton.progress = 0;
    m_model.hint = text("willUpdateFirmwaering");
    m_lastTimer = scheduler().nowMs();
    touch();
    Q_EMIT progress(0);
}

void UpdateSessionController::SHIDBootStartUpdateing(int32_t progress, SHIDManager *)
{
    writingProgress(progress);
}

void UpdateSessionController::writingProgress(int32_t progress)
{
    m_model.updateButton.progress = progress;
    m_lastTimer = scheduler().nowMs();
    touch();
    Q_EMIT this->progress(progress);
}

void UpdateSessionController::SHIDBootStartUpdateed(SHIDManager *)
{
    updateFinished();
}

void UpdateSessionController::updateFinished()
{
    m_model.updateButton.title = text("success");
    m_model.updateButton.background = ScreenColour::Green;
    setState(kStateFinished);
    m_model.hint = getFirmwaerHintVersion(m_version, static_cast<int32_t>(m_beta), m_targerVersion);
    stopTimer();
    endAttempt();
    touch();
    announceEnd(AttemptEnd::Outcome::Success, AttemptEnd::Cause::Finished);
}

void UpdateSessionController::bootFailed(const QString &buttonTitle, const QString &message)
{
    setState(kStateReady);
    m_model.listHidden = false;
    stopTimer();
    endAttempt();
    touch();
    Q_EMIT alertRequested(buttonTitle, message);
    announceEnd(AttemptEnd::Outcome::Failed, AttemptEnd::Cause::Alert, message);
}

void UpdateSessionController::SHIDBootNotSupportFirmware(SHIDManager *)
{
    bootFailed(text("sure"), text("NotSupport"));
}

void UpdateSessionController::SHIDBootErrorString(SHIDManager *, const QString &msg)
{
    bootFailed(text("sure"), msg);
}

void UpdateSessionController::SHIDBootErrorNOEqualPID(SHIDManager *, uint32_t gamepadType, uint32_t pid)
{
    QString message;
    if (Language::isCurrentChinaLanguage()) {
        message += QStringLiteral("选中的固件为 \"");
        message += SFenwykDevice::getNameWithPid(static_cast<int32_t>(gamepadType)) + QLatin1Char('"');
        message += QStringLiteral(" 与当前更新的 \"");
        message += SFenwykDevice::getNameWithPid(static_cast<int32_t>(pid)) + QLatin1Char('"');
        message += QStringLiteral(" 不匹配");
    }
    // The alert (and the stopped watchdog) as for the other bootloader failures.
    bootFailed(QStringLiteral("Error"), message);
}

// The HJZ session reports no separate start: its first report (0) is the start.
void UpdateSessionController::SHIDBootHJZUpdateing(SHIDBootHJZ *, int32_t progress)
{
    if (m_state != kStateWriting)
        writingStarted();
    writingProgress(progress);
}

void UpdateSessionController::SHIDBootHJZUpdateSuccess(SHIDBootHJZ *)
{
    updateFinished();
}

void UpdateSessionController::SHIDBootHJZUpdateFail(SHIDBootHJZ *, const QString &msg)
{
    bootFailed(text("sure"), msg);
}

} // namespace flashwell
