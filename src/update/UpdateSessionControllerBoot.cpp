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

namespace flashwell {

namespace {
constexpr uint16_t kSummitPadPid = 0x2000;
constexpr uint16_t kHjzBootPid = 0x3209;
constexpr uint16_t kHjzFamilyPid = 0x23FB;
constexpr uint16_t kSwitchProPid = 0x2009;
constexpr uint16_t kSwitchProVid = 0x057E;
constexpr uint16_t kSonyPid = 0x05C4;
constexpr uint16_t kSonyVid = 0x054C;
constexpr uint8_t kEnterBoot = 0x50;
constexpr uint8_t kEnterBootNew = 0x51;
constexpr double kNewSwitchVersion = 1.3;

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
    if (m_device && m_device->isChangeBoot && m_device->deviceRef) {
        if (m_device->pid == kSummitPadPid) {
            if (m_services.vela2)
                m_services.vela2->readPID();
            return;
        }
        if (m_device->pid == kHjzBootPid) {
            hjzReadVersion();
            return;
        }
        if (bootBoot() || switchBoot() || macBoot())
            return;
        SHIDDinput::boot(m_device->deviceRef.data());
        return;
    }
    if (!bootBoot())
        noChangeBoot();
}

bool UpdateSessionController::bootBoot()
{
    // A bootloader seen once and gone since (an HJZ device, say) is no way into this update.
    if (!bootloaderAttached())
        return false;
    const SFenwykDataDetailsPtr entry = m_device ? m_device->details() : nullptr;
    if (entry && entry->pid == kHjzFamilyPid) {
        hjzReadVersion();
    } else {
        sendVersionQuery(bootDeviceRef.data());
        if (m_services.vela2)
            m_services.vela2->readPID();
    }
    return true;
}

bool UpdateSessionController::switchBoot()
{
    if (!m_device || m_device->pid != kSwitchProPid || m_device->vid != kSwitchProVid)
        return false;
    const SFenwykDataDetailsPtr entry = m_device->details();
    const uint16_t cataloguePid = entry ? entry->pid : 0;
    HidDevice *device = m_device->deviceRef.data();
    if ((cataloguePid == 0x3100 || cataloguePid == 0x3104)
        && static_cast<double>(m_device->version()) > kNewSwitchVersion)
        transport::UpdatepWithValue(device, transport::kGuard, kEnterBootNew, 0x01, 0x00);
    else
        transport::Updatep(device, transport::kGuard, kEnterBoot, 0x01);
    return true;
}

bool UpdateSessionController::macBoot()
{
    if (!m_device || m_device->pid != kSonyPid || m_device->vid != kSonyVid)
        return false;
    const auto release = targetRelease();
    HidDevice *device = m_device->deviceRef.data();
    if (release && (release->type == 8 || release->type == 21)
        && static_cast<double>(release->version) > kNewSwitchVersion)
        transport::UpdatepWithValue(device, transport::kGuard, kEnterBoot, 0x05, 0x00);
    else
        transport::Updatep(device, transport::kGuard, kEnterBoot, 0x05);
    return true;
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

void UpdateSessionController::SHIDBootAddDevice(const SFenwykDevicePtr &device, SHIDManager *hid)
{
    if (SHIDBootDelegate *tap = m_bootTap.get())
        tap->SHIDBootAddDevice(device, hid);
    if (UpdateViewDelegat *d = delegate())
        d->addBootDevice(this);
    bootDeviceRef = device ? device->deviceRef : HidDeviceRef();
    bootState = 1;
    const HidDeviceRef arrived = bootDeviceRef;
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
    lastTimer = scheduler().nowMs();
}

void UpdateSessionController::SHIDBootHJZUpdate(SHIDBootHJZ *hjz, const SFenwykDevicePtr &device)
{
    if (SHIDBootHJZDelegate *tap = m_hjzTap.get())
        tap->SHIDBootHJZUpdate(hjz, device);
    if (UpdateViewDelegat *d = delegate())
        d->addBootDevice(this);
    bootState = 1;
    // Held weakly, so that the device's leaving ends what it made possible.
    bootDeviceRef = device ? device->deviceRef : HidDeviceRef();
    removeGuide();
    if (!resumesAttempt())
        return;
    if (m_state == kStateFailed)
        watchRestart();
    hjzReadVersion();
}

void UpdateSessionController::SHIDBootHJZRemoveDevice(SHIDBootHJZ *hjz)
{
    if (SHIDBootHJZDelegate *tap = m_hjzTap.get())
        tap->SHIDBootHJZRemoveDevice(hjz);
    bootDeviceRef = nullptr;
    bootState = 0;
    if (m_state == kStateWriting)
        updateingError(AttemptEnd::Cause::DeviceLeft);
}

void UpdateSessionController::SHIDBootRemoveDevice(const SFenwykDevicePtr &device, SHIDManager *hid)
{
    if (SHIDBootDelegate *tap = m_bootTap.get())
        tap->SHIDBootRemoveDevice(device, hid);
    bootDeviceRef = nullptr;
    bootState = 0;
    if (m_state == kStateWriting)
        updateingError(AttemptEnd::Cause::DeviceLeft);
}

void UpdateSessionController::SHIDBootGetFirmwaerType(uint32_t firmwareType, SHIDManager *hid)
{
    if (SHIDBootDelegate *tap = m_bootTap.get())
        tap->SHIDBootGetFirmwaerType(firmwareType, hid);
    loadV1AndV2();
}

void UpdateSessionController::SHIDBootGetVersion(const SFenwykDevicePtr &device, SHIDManager *hid)
{
    if (SHIDBootDelegate *tap = m_bootTap.get())
        tap->SHIDBootGetVersion(device, hid);
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
    if (SHIDBootHJZDelegate *tap = m_hjzTap.get())
        tap->SHIDBootHJZGetVersion(device);
    takeBootloaderVersion(device);
}

void UpdateSessionController::SHIDBootStartUpdate(SHIDManager *hid)
{
    if (SHIDBootDelegate *tap = m_bootTap.get())
        tap->SHIDBootStartUpdate(hid);
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
    lastTimer = scheduler().nowMs();
    touch();
    Q_EMIT progress(0);
}

void UpdateSessionController::SHIDBootStartUpdateing(int32_t progress, SHIDManager *hid)
{
    if (SHIDBootDelegate *tap = m_bootTap.get())
        tap->SHIDBootStartUpdateing(progress, hid);
    writingProgress(progress);
}

void UpdateSessionController::writingProgress(int32_t progress)
{
    m_model.updateButton.progress = progress;
    lastTimer = scheduler().nowMs();
    touch();
    Q_EMIT this->progress(progress);
}

void UpdateSessionController::SHIDBootStartUpdateed(SHIDManager *hid)
{
    if (SHIDBootDelegate *tap = m_bootTap.get())
        tap->SHIDBootStartUpdateed(hid);
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

void UpdateSessionController::SHIDBootNotSupportFirmware(SHIDManager *hid)
{
    if (SHIDBootDelegate *tap = m_bootTap.get())
        tap->SHIDBootNotSupportFirmware(hid);
    bootFailed(text("sure"), text("NotSupport"));
}

void UpdateSessionController::SHIDBootErrorString(SHIDManager *hid, const QString &msg)
{
    if (SHIDBootDelegate *tap = m_bootTap.get())
        tap->SHIDBootErrorString(hid, msg);
    bootFailed(text("sure"), msg);
}

void UpdateSessionController::SHIDBootErrorNOEqualPID(SHIDManager *hid, uint32_t gamepadType, uint32_t pid)
{
    if (SHIDBootDelegate *tap = m_bootTap.get())
        tap->SHIDBootErrorNOEqualPID(hid, gamepadType, pid);
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
void UpdateSessionController::SHIDBootHJZUpdateing(SHIDBootHJZ *hjz, int32_t progress)
{
    if (SHIDBootHJZDelegate *tap = m_hjzTap.get())
        tap->SHIDBootHJZUpdateing(hjz, progress);
    if (m_state != kStateWriting)
        writingStarted();
    writingProgress(progress);
}

void UpdateSessionController::SHIDBootHJZUpdateSuccess(SHIDBootHJZ *hjz)
{
    if (SHIDBootHJZDelegate *tap = m_hjzTap.get())
        tap->SHIDBootHJZUpdateSuccess(hjz);
    updateFinished();
}

void UpdateSessionController::SHIDBootHJZUpdateFail(SHIDBootHJZ *hjz, const QString &msg)
{
    if (SHIDBootHJZDelegate *tap = m_hjzTap.get())
        tap->SHIDBootHJZUpdateFail(hjz, msg);
    bootFailed(text("sure"), msg);
}

} // namespace flashwell
