// The update workflow: states, list fetch, starting an update, bootloader callbacks, watchdog.
#include "update/UpdateSessionController.h"

#include "boot/ClassicFrames.h"
#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "device/FirmwareVersion.h"
#include "device/HidTransport.h"
#include "device/Language.h"
#include "device/SHIDHJZ.h"
#include "platform/Bundle.h"
#include "platform/NotificationCenter.h"
#include "update/FirmwareCatalogueClient.h"
#include "update/FirmwareListRules.h"

namespace flashwell {

namespace {
QString text(const char *key)
{
    return Bundle::localizedString(key);
}

const char *const kUpdateViewBack = "updateViewBack";
} // namespace

UpdateServices UpdateServices::shared()
{
    return {PlatformServices::shared(), &SHIDBootVela2::sharedInstance(), &SHIDBootHJZ::sharedInstance(),
            &SHIDHJZ::sharedInstance(), &FirmwareCatalogueClient::shared()};
}

UpdateSessionController::UpdateSessionController(UpdateServices services, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_shidBoot(services.platform)
{
    m_shidBoot.addBootDelegate(this);
    m_shidBoot.open();
    if (m_services.vela2) {
        m_services.vela2->addBootDelegate(this);
        m_services.vela2->open();
    }
    if (m_services.hjzWatcher)
        m_services.hjzWatcher->open();
    if (m_services.hjz) {
        m_services.hjz->open();
        m_services.hjz->addBootDelegate(this);
    }
}

UpdateSessionController::~UpdateSessionController()
{
    stopTimer();
    announceEnd(stopOutcome(), AttemptEnd::Cause::Left);
}

void UpdateSessionController::setDevice(SFenwykDevicePtr device)
{
    m_device = std::move(device);
    const SFenwykDataDetailsPtr entry = m_device ? m_device->details() : nullptr;
    m_model.devicePicture =
        entry && !entry->miniImageName.isEmpty() ? entry->miniImageName : QStringLiteral("device_default");
    touch();
}

void UpdateSessionController::setState(uint64_t state)
{
    m_state = state;
    changeUIWithState(state);
    Q_EMIT stateChanged(state);
    touch();
}

void UpdateSessionController::AllHidden(bool hidden)
{
    m_model.devicePictureHidden = hidden;
    m_model.listHidden = hidden;
    m_model.panelHidden = hidden;
    m_model.spinnerHidden = hidden;
    m_model.reloadHidden = hidden;
    m_model.hintLabelHidden = hidden;
    m_model.hintHidden = hidden;
    m_model.updateButton.hidden = hidden;
    m_model.leftButton.hidden = hidden;
    m_model.rightButton.hidden = hidden;
}

void UpdateSessionController::changeUIWithState(uint64_t state)
{
    switch (state) {
    case kStateReady:
        AllHidden(true);
        m_model.devicePictureHidden = false;
        m_model.hintHidden = false;
        m_model.updateButton.hidden = false;
        m_model.updateButton.title = text("update");
        m_model.updateButton.progress = 100;
        m_model.updateButton.highlight = ScreenColour::Red;
        m_model.updateButton.background = ScreenColour::Blue;
        break;
    case kStateOffer:
        AllHidden(true);
        m_model.devicePictureHidden = false;
        m_model.panelHidden = false;
        m_model.hintHidden = false;
        m_model.leftButton.hidden = false;
        m_model.rightButton.hidden = false;
        m_model.leftButton.title = text("other");
        m_model.rightButton.title = text("update");
        m_model.sideButtons = UpdateScreenModel::Placement::Choice;
        break;
    case kStateWriting:
        m_model.updateButton.background = ScreenColour::Red;
        m_model.updateButton.highlight = ScreenColour::Red;
        break;
    case kStateFinished:
        m_model.leftButton.hidden = true;
        m_model.rightButton.hidden = true;
        m_model.leftButton.title = text("close");
        m_model.rightButton.title = text("updateNext");
        m_model.sideButtons = UpdateScreenModel::Placement::Finished;
        break;
    case kStateFailed:
        m_model.updateButton.progress = 0;
        break;
    default:
        break;
    }
}

// --- called by the root controller ---

void UpdateSessionController::setminiImageposition(int32_t chosenByHand)
{
    m_model.devicePictureSelected = false;
    m_model.receiverPictureSelected = false;
    // Reading the catalogue entry is what marks a device that carries a receiver.
    if (m_device)
        m_device->details();
    if (chosenByHand == 1 && m_device && m_device->isCarryRR) {
        m_isShowMiniRRImage = true;
        m_model.devicePictureSelected = true;
        m_model.devicePictureClickable = true;
        m_model.receiverPictureClickable = true;
    } else {
        m_isShowMiniRRImage = false;
        m_model.devicePictureSelected = false;
        m_model.devicePictureClickable = false;
    }
    touch();
}

bool UpdateSessionController::loadViews()
{
    if (m_isloadData)
        return false;
    m_isloadData = true;

    const SFenwykDataDetailsPtr entry = m_device ? m_device->details() : nullptr;
    if (m_isShowMiniRRImage) {
        m_model.receiverPictureHidden = false;
        m_model.receiverPicture = QStringLiteral("receiver_default");
        if (entry && entry->type == 48)
            m_model.receiverPicture = QStringLiteral("receiver_48");
        if (entry && entry->type == 57)
            m_model.receiverPicture = QStringLiteral("receiver_57");
    } else {
        m_model.receiverPictureHidden = true;
    }

    const float version = m_device ? m_device->version() : 0.0f;
    const uint16_t beta = m_device ? m_device->beta : 0;
    m_version = version;
    m_beta = static_cast<float>(beta);
    // Without a target release (none offered, the list not yet here) there is nothing to name.
    m_model.hint = m_isSetNewFirmware ? getFirmwaerHintVersion(version, beta, m_targerVersion) : QString();

    setState(kStateReady);
    if (m_state == kStateReady)
        loadUpdateFirmwae();
    if (m_isSetNewFirmware)
        m_model.panelHidden = false;
    touch();
    return true;
}

void UpdateSessionController::setNewFirmwaer(const Firmware &release)
{
    m_updateFirmwaers = QList<Firmware>{release};
    m_model.panelLine = firmware_list::newVersionLine(release);
    m_model.panelNotes = Language::isCurrentChinaLanguage() ? release.readme : release.readme_en;
    m_targerVersion = release.version;
    m_targetBeta = release.beta;
    m_isSetNewFirmware = true;
    touch();
}

void UpdateSessionController::removeFromSuperview()
{
    // Leaving stops every session of the attempt; the next showing names no earlier target.
    const AttemptEnd::Outcome outcome = stopOutcome();
    abandonSessions();
    endAttempt();
    announceEnd(outcome, AttemptEnd::Cause::Left);
    m_targerVersion = 0.0f;
    m_targetBeta = 0;
    m_model.hint.clear();
    m_updateFirmwaers.reset();
    setState(kStateReady);
    m_shidBoot.filePath = QString();
    m_selectButton.reset();
    m_isSetNewFirmware = false;
    m_isloadData = false;
    removeGuide();
    // Nothing that was asked for this showing may land on the next one, and no watchdog outlives it.
    ++m_listGeneration;
    ++m_downloadGeneration;
    stopTimer();
    touch();
}

// --- the release list ---

void UpdateSessionController::loadUpdateFirmwae()
{
    const SFenwykDataDetailsPtr entry = m_device ? m_device->details() : nullptr;
    loadUpdateFirmwae(entry ? entry->type : 0);
}

void UpdateSessionController::loadUpdateFirmwae(int32_t type)
{
    m_lastTimer = 0;
    if (m_updateFirmwaers)
        return;
    m_model.spinnerHidden = false;
    m_model.notFirmwareHidden = true;
    touch();
    if (!m_services.server)
        return;
    const uint64_t generation = ++m_listGeneration;
    m_services.server->getUpdateFirmwaerWithType(
        type, this,
        [this, generation](const QList<Firmware> &list) {
            if (generation != m_listGeneration)
                return;
            m_model.spinnerHidden = true;
            m_model.listHidden = false;
            m_updateFirmwaers = list;
            refreshFirmwaerList();
        },
        [this, generation](const HttpError &) {
            if (generation != m_listGeneration)
                return;
            m_model.spinnerHidden = true;
            m_model.reloadHidden = false;
            touch();
        },
        // An answer without a list changes nothing: the spinner keeps turning.
        nullptr);
}

void UpdateSessionController::reloadClic()
{
    m_model.reloadHidden = true;
    touch();
    // The list of the picture shown: the receiver's releases are filed under the next type.
    const SFenwykDataDetailsPtr entry = m_device ? m_device->details() : nullptr;
    const int32_t type = entry ? entry->type : 0;
    loadUpdateFirmwae(m_model.receiverPictureSelected ? type + 1 : type);
}

void UpdateSessionController::refreshFirmwaerList()
{
    QList<Firmware> list = m_updateFirmwaers.value_or(QList<Firmware>());
    firmware_list::sortReleases(list);
    m_updateFirmwaers = list;
    if (m_device) {
        for (const float minimum : firmware_list::minimumVersions(*m_device))
            filterVersion(minimum);
    }
    const QList<Firmware> &releases = *m_updateFirmwaers;
    const qsizetype n = releases.size();
    m_model.scroller = firmware_list::hasScroller(n);
    m_model.rows.clear();
    m_model.notFirmwareHidden = false;
    // Built from the last release up, so the first release is the top row.
    for (qsizetype i = n - 1; i >= 0; --i) {
        ReleaseRow row;
        row.tag = static_cast<int>(i);
        row.name = m_device ? firmware_list::rowText(releases[i], *m_device) : QString();
        m_model.notFirmwareHidden = true;
        m_model.rows.prepend(row);
        if (i == 0) {
            m_model.rows.first().newMark =
                m_device ? firmware_list::newMark(releases[0], *m_device) : QStringLiteral("NEW");
            chengeboxClick(0);
        }
    }
    Q_EMIT rowsRebuilt();
    touch();
}

void UpdateSessionController::filterVersion(float minimum)
{
    if (m_updateFirmwaers)
        m_updateFirmwaers = firmware_list::filterVersion(*m_updateFirmwaers, minimum);
}

void UpdateSessionController::chengeboxClick(int tag)
{
    if (attemptRunning())
        return;
    for (ReleaseRow &row : m_model.rows)
        row.checked = row.tag == tag;
    m_selectButton = tag;
    if (m_state != kStateWriting) {
        // A row past the list changes no target.
        if (const auto release = releaseAt(tag)) {
            m_targerVersion = release->version;
            m_targetBeta = release->beta;
            const float version = m_device ? m_device->version() : 0.0f;
            const int32_t beta = m_device ? m_device->beta : 0;
            m_model.hint = getFirmwaerHintVersion(version, beta, release->version);
        }
    }
    touch();
}

QString UpdateSessionController::getFirmwaerHintVersion(float version, int32_t beta, float targerVersion) const
{
    if (version == 0.0f && m_state == kStateReady)
        return {};
    const char *firstKey = m_state == kStateFinished  ? "willUpdateFirmwaered"
                           : m_state == kStateWriting ? "willUpdateFirmwaering"
                                                      : "willUpdateFirmwaer";
    const QString betaWord = beta != 0 ? text("beta") : QString();
    const QString betaNumber = beta != 0 ? QString::asprintf(" %hu", static_cast<unsigned short>(beta)) : QString();
    const QString targetBeta = m_targetBeta != 0 ? QString::asprintf(" beta %d ", m_targetBeta) : QString();
    return text(firstKey) + firmware_version::number(version) + betaWord + betaNumber + text("to")
           + QStringLiteral(" v") + firmware_version::number(targerVersion) + targetBeta;
}

void UpdateSessionController::loadV1AndV2()
{
    const SFenwykDataDetailsPtr entry = m_device ? m_device->details() : nullptr;
    if (!entry || (entry->type != 1 && entry->type != 2 && entry->type != 3))
        return;
    const uint32_t firmwareType = m_shidBoot.deviceInfo().firmwareType;
    if (m_state != kStateHardwareRevision || firmwareType == 0)
        return;
    if (firmwareType == 200)
        entry->type = firmware_list::v2Type(entry->type);
    removeGuide();
    m_updateFirmwaers.reset();
    loadUpdateFirmwae();
    touch();
}

void UpdateSessionController::noV1AndV2()
{
    setState(kStateHardwareRevision);
    showGuide(false);
    loadV1AndV2();
}

std::optional<Firmware> UpdateSessionController::releaseAt(int tag) const
{
    if (!m_updateFirmwaers || tag < 0 || tag >= m_updateFirmwaers->size())
        return std::nullopt;
    return m_updateFirmwaers->at(tag);
}

std::optional<Firmware> UpdateSessionController::checkedRelease() const
{
    return releaseAt(m_selectButton.value_or(0));
}

QString UpdateSessionController::logTitle(int tag)
{
    const auto release = releaseAt(tag);
    if (!release || !m_device)
        return {};
    return firmware_list::logTitle(*release, *m_device);
}

QString UpdateSessionController::logContent(int tag) const
{
    const auto release = releaseAt(tag);
    return release ? firmware_list::logContent(*release, Language::isCurrentChinaLanguage()) : QString();
}

// --- starting an update ---

void UpdateSessionController::SButtonClick(Button button)
{
    if (button == Button::Update) {
        if (m_state == kStatePreparing || m_state == kStateWriting || sessionRunning())
            return;
        // One attempt at a time: the bootloader that arrived for this one is being started.
        if ((m_state == kStateManual || m_state == kStateFailed) && attemptRunning() && bootloaderAttached())
            return;
        if (m_state == kStateFinished) {
            if (UpdateViewDelegat *d = delegate())
                d->goHome(this);
            return;
        }
        updateStateDowmFirmwaerFile();
        return;
    }
    if (button == Button::Left) {
        if (m_state == kStateOffer) {
            setState(kStateReady);
            m_updateFirmwaers.reset();
            loadUpdateFirmwae();
        } else if (m_state == kStateFinished) {
            Q_EMIT terminateRequested(0);
        }
        return;
    }
    if (m_state == kStateOffer) {
        m_model.leftButton.hidden = true;
        m_model.rightButton.hidden = true;
        m_model.updateButton.hidden = false;
        touch();
        updateStateFindNewVersionDowmFirmwaerFile();
    } else if (m_state == kStateFinished) {
        NotificationCenter::defaultCenter().post(QString::fromLatin1(kUpdateViewBack));
    }
}

void UpdateSessionController::updateStateDowmFirmwaerFile()
{
    if (!m_selectButton && !m_isSetNewFirmware)
        return;
    // A checked row past the list (the list was replaced by a shorter one) has nothing to download.
    if (const auto release = checkedRelease())
        dowmFirmwaerFile(*release);
}

void UpdateSessionController::updateStateFindNewVersionDowmFirmwaerFile()
{
    if (m_updateFirmwaers && !m_updateFirmwaers->isEmpty())
        dowmFirmwaerFile(m_updateFirmwaers->first());
}

void UpdateSessionController::dowmFirmwaerFile(const Firmware &release)
{
    // A new press replaces a stalled attempt: nothing of the old one may write.
    abandonSessions();
    endAttempt();
    announceEnd(AttemptEnd::Outcome::Cancelled, AttemptEnd::Cause::Replaced);
    m_attempt = release;
    m_model.releaseFixed = true;
    m_targerVersion = release.version;
    m_targetBeta = release.beta;
    initTimer();
    setState(kStatePreparing);
    announceStart();
    m_model.updateButton.title = text("prepareUpdate");
    touch();
    if (!m_services.server)
        return;
    const uint64_t generation = ++m_downloadGeneration;
    m_services.server->dowmFirmwaerFile(
        release, this,
        [this, generation, release](const QString &path) {
            if (generation != m_downloadGeneration)
                return;
            m_shidBoot.isUSBRR_PS_classic = release.type == 21;
            m_savePath = path;
            m_shidBoot.filePath = path;
            if (m_services.vela2)
                m_services.vela2->filePath = path;
            if (m_services.hjz)
                m_services.hjz->filePath = path;
            changeBoot();
        },
        [this, generation](const HttpError &error) {
            if (generation != m_downloadGeneration)
                return;
            setState(kStateReady);
            endAttempt();
            // No update runs now: the watchdog must not turn this into an update error later.
            stopTimer();
            Q_EMIT alertRequested(QStringLiteral("Error"), error.description);
            announceEnd(AttemptEnd::Outcome::Failed, AttemptEnd::Cause::DownloadFailed, error.description);
        },
        nullptr);
}

// --- failures and the watchdog ---

void UpdateSessionController::showGuide(bool error)
{
    m_model.guideShown = true;
    m_model.guideError = error;
    m_model.guideDevice = m_device;
    Q_EMIT guideShown(error);
    touch();
}

void UpdateSessionController::removeGuide()
{
    if (!m_model.guideShown)
        return;
    m_model.guideShown = false;
    touch();
}

void UpdateSessionController::initTimer()
{
    if (m_updateTimer != 0)
        return;
    m_updateTimer = scheduler().every(
        kWatchdogPeriodMs, [this] { timerOut(); }, this);
    m_lastTimer = scheduler().nowMs();
}

void UpdateSessionController::timerOut()
{
    if (m_lastTimer == 0)
        return;
    if (scheduler().nowMs() - kNoSignOfLifeMs >= m_lastTimer)
        updateingError();
}

void UpdateSessionController::stopTimer()
{
    if (m_updateTimer == 0)
        return;
    scheduler().cancel(m_updateTimer);
    m_updateTimer = 0;
}

// --- pictures ---

void UpdateSessionController::SMiniImageViewClick(Picture picture)
{
    if (attemptRunning())
        return;
    m_model.rows.clear();
    m_updateFirmwaers.reset();
    Q_EMIT rowsRebuilt();
    const SFenwykDataDetailsPtr entry = m_device ? m_device->details() : nullptr;
    const int32_t type = entry ? entry->type : 0;
    if (picture == Picture::Device) {
        if (m_device)
            m_device->isManuanlViewRR = 0;
        m_model.receiverPictureSelected = false;
        m_model.devicePictureSelected = true;
        touch();
        loadUpdateFirmwae(type);
    } else {
        if (m_device)
            m_device->isManuanlViewRR = 1;
        m_model.devicePictureSelected = false;
        m_model.receiverPictureSelected = true;
        touch();
        // The receiver's releases are filed under the next type number.
        loadUpdateFirmwae(type + 1);
    }
}

} // namespace flashwell
