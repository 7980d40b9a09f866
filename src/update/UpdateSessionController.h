#pragma once

#include "boot/SHIDBoot.h"
#include "boot/SHIDBootDelegate.h"
#include "boot/SHIDBootHJZDelegate.h"
#include "device/SFenwykDevice.h"
#include "net/Firmware.h"
#include "platform/PlatformServices.h"
#include "platform/Scheduler.h"
#include "platform/WeakDelegate.h"
#include "update/AttemptEnd.h"
#include "update/UpdateScreenModel.h"
#include "update/UpdateViewDelegat.h"

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

namespace flashwell {

class FirmwareCatalogueClient;
class SHIDBootHJZ;
class SHIDBootVela2;
class SHIDHJZ;

// What the update workflow runs on: the platform, the shared sessions and watcher, the server.
// Production uses `shared()`; tests and the lab hand in their own.
struct UpdateServices
{
    PlatformServices platform;
    SHIDBootVela2 *vela2 = nullptr;
    SHIDBootHJZ *hjz = nullptr;
    SHIDHJZ *hjzWatcher = nullptr;
    FirmwareCatalogueClient *server = nullptr;

    static UpdateServices shared();
};

// One update, from the release list to a flashed device, without widgets: the states 0 to 7,
// the steps that move between them, the watchdog, the list and version rules and the boot-mode
// switching. `UpdateView` shows `model()`; the lab and tests drive it headless.
class UpdateSessionController final : public QObject, public SHIDBootDelegate, public SHIDBootHJZDelegate
{
    Q_OBJECT
public:
    enum : uint64_t {
        kStateReady = 0,
        kStateOffer = 1,
        kStatePreparing = 2,
        kStateManual = 3,
        kStateHardwareRevision = 4,
        kStateWriting = 5,
        kStateFinished = 6,
        kStateFailed = 7,
    };
    enum class Button { Update, Left, Right };
    enum class Picture { Device, Receiver };

    static constexpr int64_t kWatchdogPeriodMs = 3000;
    static constexpr int64_t kNoSignOfLifeMs = 20000;
    static constexpr int64_t kDelayedSendMs = 500;

    explicit UpdateSessionController(UpdateServices services = UpdateServices::shared(), QObject *parent = nullptr);
    ~UpdateSessionController() override;

    // --- data model ---
    SFenwykDevicePtr device() const { return m_device; }
    void setDevice(SFenwykDevicePtr device);
    uint64_t state() const { return m_state; }
    void setState(uint64_t state);
    UpdateViewDelegat *delegate() const { return m_delegate.get(); }
    void setDelegate(UpdateViewDelegat *delegate) { m_delegate.set(delegate); }

    // What the screen shows, read-only: the controller alone changes it, from the device's reports,
    // the server's answers and the user's presses.
    float version() const { return m_version; }
    float beta() const { return m_beta; }
    float targerVersion() const { return m_targerVersion; }
    int32_t targetBeta() const { return m_targetBeta; }
    bool isSetNewFirmware() const { return m_isSetNewFirmware; }
    bool isShowMiniRRImage() const { return m_isShowMiniRRImage; }
    bool isloadData() const { return m_isloadData; }
    // Null until fetched: a null list is what makes loadUpdateFirmwae ask the server.
    const std::optional<QList<Firmware>> &updateFirmwaers() const { return m_updateFirmwaers; }
    // The checked row's index in the release list; none until a row was checked.
    std::optional<int> selectButton() const { return m_selectButton; }
    const QString &savePath() const { return m_savePath; }
    SHIDBoot &shidBoot() { return m_shidBoot; }
    uint64_t bootState() const { return m_bootState; }
    const HidDeviceRef &bootDeviceRef() const { return m_bootDeviceRef; }
    bool updateTimerRunning() const { return m_updateTimer != 0; }
    int64_t lastTimer() const { return m_lastTimer; }

    const UpdateScreenModel &model() const { return m_model; }

    // An update the user started (update pressed), from that press to its end: success, a
    // failure with an alert, or leaving the screen. A failure that shows the error guide (state 7)
    // does not end it: the bootloader's return restarts the same update. Only an attempt writes.
    bool attemptRunning() const { return m_attempt.has_value(); }
    // The release the running attempt writes.
    const std::optional<Firmware> &attemptRelease() const { return m_attempt; }
    // A session of the running attempt is talking to the device: leaving or quitting now would
    // leave it half-written.
    bool sessionRunning() const;

    // --- called by the root controller ---
    void setminiImageposition(int32_t chosenByHand);
    // The one-time layout's logic; false when it already ran for this showing.
    bool loadViews();
    void setNewFirmwaer(const Firmware &release);
    void noV1AndV2();
    // The update stalled or its device went: the error guide (state 7), and the attempt waits for
    // its bootloader to come back.
    void updateingError(AttemptEnd::Cause cause = AttemptEnd::Cause::NoSignOfLife);
    // Whoever runs the update gives it up (a command line interrupted, say): the sessions stop
    // and the attempt ends, as interrupted when it was writing.
    void stopAttempt(AttemptEnd::Cause cause, const QString &reason);
    // Leaving the screen.
    void removeFromSuperview();

    // --- the release list ---
    void loadUpdateFirmwae();
    void loadUpdateFirmwae(int32_t type);
    void reloadClic();
    void refreshFirmwaerList();
    void filterVersion(float minimum);
    void chengeboxClick(int tag);
    QString getFirmwaerHintVersion(float version, int32_t beta, float targerVersion) const;
    void loadV1AndV2();
    // The release-notes window's title and content for a row; empty when no such row.
    QString logTitle(int tag);
    QString logContent(int tag) const;
    // The release at `tag`, when the list has one there.
    std::optional<Firmware> releaseAt(int tag) const;

    // --- starting an update ---
    void SButtonClick(Button button);
    void updateStateDowmFirmwaerFile();
    void updateStateFindNewVersionDowmFirmwaerFile();
    void dowmFirmwaerFile(const Firmware &release);

    // --- boot-mode switching ---
    // Carries out boot_switch::changeBoot for the device shown.
    void changeBoot();
    void noChangeBoot();

    // --- watchdog ---
    void initTimer();
    void timerOut();
    void stopTimer();

    // --- pictures ---
    void SMiniImageViewClick(Picture picture);

    // --- bootloader callbacks ---
    void SHIDBootAddDevice(const SFenwykDevicePtr &device, SHIDManager *hid) override;
    void SHIDBootRemoveDevice(const SFenwykDevicePtr &device, SHIDManager *hid) override;
    void SHIDBootGetVersion(const SFenwykDevicePtr &device, SHIDManager *hid) override;
    void SHIDBootGetFirmwaerType(uint32_t firmwareType, SHIDManager *hid) override;
    void SHIDBootStartUpdate(SHIDManager *hid) override;
    void SHIDBootStartUpdateing(int32_t progress, SHIDManager *hid) override;
    void SHIDBootStartUpdateed(SHIDManager *hid) override;
    void SHIDBootNotSupportFirmware(SHIDManager *hid) override;
    void SHIDBootErrorString(SHIDManager *hid, const QString &msg) override;
    void SHIDBootErrorNOEqualPID(SHIDManager *hid, uint32_t gamepadType, uint32_t pid) override;
    void SHIDBootHJZUpdate(SHIDBootHJZ *hjz, const SFenwykDevicePtr &device) override;
    void SHIDBootHJZGetVersion(const SFenwykDevicePtr &device) override;
    void SHIDBootHJZUpdateing(SHIDBootHJZ *hjz, int32_t progress) override;
    void SHIDBootHJZUpdateSuccess(SHIDBootHJZ *hjz) override;
    void SHIDBootHJZUpdateFail(SHIDBootHJZ *hjz, const QString &msg) override;
    void SHIDBootHJZRemoveDevice(SHIDBootHJZ *hjz) override;

Q_SIGNALS:
    void stateChanged(quint64 state);
    // Anything in model() changed.
    void modelChanged();
    // The rows were built anew.
    void rowsRebuilt();
    // A warning alert: one button and a message. The state has already changed.
    void alertRequested(const QString &buttonTitle, const QString &message);
    void guideShown(bool error);
    // The left button in state 6: the application ends with this status.
    void terminateRequested(int status);
    // An attempt began (update pressed), or began again when its bootloader returned after the
    // error guide and writing restarted.
    void attemptStarted(const flashwell::Firmware &release);
    // Writing, in percent; 0 when writing starts.
    void progress(int percent);
    // Exactly once for each attemptStarted. A failure that shows the error guide ends it as
    // failed; the restart that may follow is a new start.
    void attemptEnded(const flashwell::AttemptEnd &end);

private:
    void changeUIWithState(uint64_t state);
    void AllHidden(bool hidden);
    void showGuide(bool error);
    void removeGuide();
    void bootFailed(const QString &buttonTitle, const QString &message);
    void updateFinished();
    void hjzReadVersion();
    // Writing has begun (state 5, an empty button); then the button fills. Each one is a sign of
    // life for the watchdog.
    void writingStarted();
    void writingProgress(int32_t progress);
    std::optional<Firmware> checkedRelease() const;
    // The attempt's release while one runs, else the checked row's.
    std::optional<Firmware> targetRelease() const;
    // The attempt is over: every session forgets its file, so nothing is written without a press.
    void endAttempt();
    // The sessions stop talking to the device (its file stays, for the restart of the attempt).
    void abandonSessions();
    // A bootloader device is attached now (not merely seen once).
    bool bootloaderAttached() const { return m_bootState == 1 && !m_bootDeviceRef.isNull(); }
    // The bootloader of the running attempt arrived: start (or restart) its session, watched.
    bool resumesAttempt() const;
    void watchRestart();
    // A bootloader's version report (either kind): the device's version and the hint against the
    // checked release.
    void takeBootloaderVersion(const SFenwykDevicePtr &device);
    // The attempt's start and end as observers see them: each end follows its start once.
    void announceStart();
    void announceEnd(AttemptEnd::Outcome outcome, AttemptEnd::Cause cause, const QString &reason = QString());
    // Stopping while writing is an interruption; before it, a cancellation.
    AttemptEnd::Outcome stopOutcome() const;
    void touch() { Q_EMIT modelChanged(); }
    Scheduler &scheduler() const { return *m_services.platform.scheduler; }

    UpdateServices m_services;
    float m_version = 0.0f;
    float m_beta = 0.0f;
    float m_targerVersion = 0.0f;
    int32_t m_targetBeta = 0;
    bool m_isSetNewFirmware = false;
    bool m_isShowMiniRRImage = false;
    bool m_isloadData = false;
    std::optional<QList<Firmware>> m_updateFirmwaers;
    std::optional<int> m_selectButton;
    QString m_savePath;
    uint64_t m_bootState = 0;
    HidDeviceRef m_bootDeviceRef;
    int64_t m_lastTimer = 0;
    SFenwykDevicePtr m_device;
    uint64_t m_state = kStateReady;
    WeakDelegate<UpdateViewDelegat> m_delegate;
    SHIDBoot m_shidBoot;
    Scheduler::TimerId m_updateTimer = 0;
    // Requests from an earlier list or download are dropped when their answers arrive.
    uint64_t m_listGeneration = 0;
    uint64_t m_downloadGeneration = 0;
    UpdateScreenModel m_model;
    std::optional<Firmware> m_attempt;
    bool m_announced = false;
};

} // namespace flashwell
