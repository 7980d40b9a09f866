#include "runs/LabUpdateRun.h"

#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "device/DeviceDelegate.h"
#include "device/HidTransport.h"
#include "device/SHIDHJZ.h"
#include "device/UsbIdentities.h"
#include "models/FlashMemory.h"
#include "models/ReplayDevices.h"
#include "models/VirtualBootloader.h"
#include "platform/VirtualScheduler.h"
#include "rigs/MixedTimePump.h"
#include "runs/BootEventPrinter.h"
#include "runs/LabRecording.h"
#include "runs/LabUpdateDevices.h"
#include "update/ObservingCatalogueClient.h"
#include "update/UpdateHost.h"
#include "update/UpdateRecordingContext.h"
#include "update/UpdateSessionController.h"

#include <QPointer>

namespace flashwell::lab {

namespace {

// What the device still does after the outcome (its reset, re-enumeration), not printed.
constexpr int64_t kSettleMs = 2000;
// Virtual tasks run between two looks at the event loop while no request is waiting.
constexpr int kStepsPerTurn = 4000;

// Plays the root controller: hands the announced device to the update screen.
class LabRoot final : public QObject, public DeviceDelegate, public UpdateViewDelegat
{
public:
    std::function<bool(const SFenwykDevicePtr &)> isOurs;
    std::function<void(const SFenwykDevicePtr &)> show;
    SFenwykDevicePtr handed;

    void addSFenwykDevice(const SFenwykDevicePtr &device) override
    {
        if (handed || !device || !isOurs || !isOurs(device))
            return;
        handed = device;
        if (show)
            show(device);
    }
    void removeSFenwykDevice(const SFenwykDevicePtr &) override {}
};

// The run's result line: why the attempt ended, in the lab's words.
QString why(const AttemptEnd &end)
{
    switch (end.cause) {
    case AttemptEnd::Cause::Finished:
        return QStringLiteral("update finished");
    case AttemptEnd::Cause::DeviceLeft:
        return QStringLiteral("the bootloader device left while writing");
    case AttemptEnd::Cause::NoSignOfLife:
        return QStringLiteral("no sign of life from the update for 20 s");
    case AttemptEnd::Cause::ReportNotSent:
        return QStringLiteral("a data report could not be sent");
    default:
        return end.reason;
    }
}

} // namespace

struct LabUpdateRun::State
{
    explicit State(LabUpdateOptions o)
        : options(std::move(o))
        , bus(clock)
        , recording(clock, bus, options.recordPath, QStringLiteral("update"))
        , context(client, recording.writer())
        , vela2(PlatformServices{&clock, host()})
        , hjz(PlatformServices{&clock, host()})
        , hjzWatcher(PlatformServices{&clock, host()})
        , update(UpdateServices{PlatformServices{&clock, host()}, &vela2, &hjz, &hjzWatcher, &context}, QString())
        , controller(update.controller())
    {}

    HidBackend *host() const { return recording.host(); }

    LabUpdateOptions options;
    VirtualScheduler clock;
    VirtualHidBus bus;
    // SHttp, watched: while a request is out virtual time keeps pace with the network.
    ObservingCatalogueClient client;
    LabRecording recording;
    UpdateRecordingContext context;
    std::unique_ptr<ReplayDevices> replay;
    SHIDBootVela2 vela2;
    SHIDBootHJZ hjz;
    SHIDHJZ hjzWatcher;
    UpdateHost update;
    UpdateSessionController &controller;
    BootEventPrinter printer;
    LabRoot root;

    std::unique_ptr<LabUpdateDevices> devices;

    std::function<void(const QJsonObject &)> *sink = nullptr;
    bool printing = true;
    bool ended = false;
    bool userReplugged = false;
    std::optional<uint64_t> printedState;
    UpdateRunResult result;

    void print(const QJsonObject &line)
    {
        if (printing && sink && *sink)
            (*sink)(line);
    }

    void end(bool success, const QString &message)
    {
        if (ended)
            return;
        ended = true;
        result.success = success;
        result.state = controller.state();
        result.message = message;
        result.virtualMs = clock.nowMs();
    }

    // The user, shown the guide, unplugs the device and plugs it in again in its bootloader mode.
    void playUser()
    {
        if (userReplugged || options.bootloaderAttached || replay)
            return;
        userReplugged = true;
        devices->replugAsUser(clock);
    }
};

LabUpdateRun::LabUpdateRun(LabUpdateOptions options)
    : m(std::make_unique<State>(std::move(options)))
{
    State &s = *m;
    s.sink = &onLine;
    s.bus.setLatencyMs(s.options.busLatencyMs);
    s.context.watch(s.controller);
    if (s.options.replay) {
        s.replay = s.options.replay(s.bus);
        s.context.onStep = [&s](const QString &step) {
            if (s.replay)
                s.replay->hostStep(step);
        };
    } else {
        s.devices = std::make_unique<LabUpdateDevices>(s.bus, s.options);
        if (s.options.boot.bootloader == LabBootloader::Hjz)
            s.hjz.cur_devId = s.options.boot.devId.value_or(0);
    }

    s.printer.sink = [&s](const QJsonObject &event) { s.print(event); };
    s.printer.wanted = [&s] { return s.printing && s.sink && *s.sink; };
    // The printer hears each bootloader event before the controller acts on it.
    s.controller.shidBoot().addBootDelegate(&s.printer, DelegateOrder::BeforeOthers);
    s.vela2.addBootDelegate(&s.printer, DelegateOrder::BeforeOthers);
    s.hjz.addBootDelegate(&s.printer, DelegateOrder::BeforeOthers);
    s.controller.setDelegate(&s.root);
    s.client.setDownloadWatcher([&s](const QString &path) {
        if (s.devices)
            s.devices->bootloader()->fitToFirmware(path);
    });

    QObject::connect(&s.controller, &UpdateSessionController::stateChanged, &s.root, [&s](quint64 state) {
        // A state set again to the value it has is no change.
        if (!s.printedState || *s.printedState != state)
            s.print(QJsonObject{{QStringLiteral("state"), static_cast<qint64>(state)}});
        s.printedState = state;
    });
    QObject::connect(&s.controller, &UpdateSessionController::attemptEnded, &s.root,
                     [&s](const AttemptEnd &end) { s.end(end.outcome == AttemptEnd::Outcome::Success, why(end)); });
    QObject::connect(&s.controller, &UpdateSessionController::alertRequested, &s.root,
                     [&s](const QString &button, const QString &message) {
                         s.print(QJsonObject{{QStringLiteral("alert"), message}});
                         s.end(false, message.isEmpty() ? QStringLiteral("alert \"%1\" without a message").arg(button)
                                                        : message);
                     });
    QObject::connect(&s.controller, &UpdateSessionController::guideShown, &s.root, [&s](bool error) {
        s.print(QJsonObject{{QStringLiteral("guide"), QJsonObject{{QStringLiteral("error"), error}}}});
        if (!error)
            s.playUser();
    });

    const uint16_t normalPid = s.options.identity == LabUpdateOptions::Identity::Switch ? usb::kSwitchPro.productId
                               : s.options.identity == LabUpdateOptions::Identity::Sony ? usb::kSony.productId
                                                                                        : s.options.pid;
    s.root.isOurs = [normalPid](const SFenwykDevicePtr &d) { return d->pid == normalPid; };
    s.root.show = [&s](const SFenwykDevicePtr &device) {
        if (s.options.manual)
            device->isChangeBoot = false;
        s.update.show(device, UpdateHost::Origin::Attached);
    };
    s.update.setDeviceDelegate(&s.root);
}

void LabUpdateRun::endNow(bool success, const QString &message)
{
    m->end(success, message);
}

QString LabUpdateRun::currentStep(HidDevice *device)
{
    State &s = *m;
    const transport::Identity id = transport::identityOf(device);
    auto among = [&id](std::span<const HidMatch> identities) {
        return std::any_of(identities.begin(), identities.end(),
                           [&id](const HidMatch &i) { return usb::is(i, id.productId, id.vendorId); });
    };
    if (among(usb::kSecondGenBootloaders))
        return s.vela2.currentStep();
    if (usb::is(usb::kHjzBootloader, id.productId, id.vendorId))
        return s.hjz.currentStep();
    if (among(usb::kClassicBootloaders))
        return s.controller.shidBoot().currentStep();
    return QStringLiteral("normal mode, update state %1").arg(s.controller.state());
}

QString LabUpdateRun::recordingError() const
{
    return m->recording.error();
}

ReplayDevices *LabUpdateRun::replayDevices() const
{
    return m->replay.get();
}

LabUpdateRun::~LabUpdateRun()
{
    m->printing = false;
    m->update.setDeviceDelegate(nullptr);
}

UpdateSessionController &LabUpdateRun::controller()
{
    return m->controller;
}

VirtualHidBus &LabUpdateRun::bus()
{
    return m->bus;
}

VirtualScheduler &LabUpdateRun::clock()
{
    return m->clock;
}

const FlashMemory &LabUpdateRun::flash() const
{
    static const FlashMemory none;
    return m->devices ? m->devices->bootloader()->flash() : none;
}

QJsonObject LabUpdateRun::flashDump() const
{
    return flashDumpOf(flash());
}

QString LabUpdateRun::firmwarePath() const
{
    return m->controller.savePath();
}

int LabUpdateRun::requestsInFlight() const
{
    return m->client.inFlight();
}

const UpdateRunResult &LabUpdateRun::result() const
{
    return m->result;
}

VirtualBootloader *LabUpdateRun::bootloader() const
{
    return m->devices ? m->devices->bootloader() : nullptr;
}

bool LabUpdateRun::runUntil(const std::function<bool()> &done)
{
    State &s = *m;
    MixedTimePump pump(s.clock);
    pump.paced = [&s] { return s.client.inFlight() > 0 || s.options.realTime; };
    pump.stepsPerTurn = kStepsPerTurn;
    return pump.runUntil(done, s.options.wallTimeoutMs);
}

bool LabUpdateRun::showScreen()
{
    State &s = *m;
    if (s.replay) {
        s.replay->start();
    } else {
        s.devices->plug();
    }
    // The list's end: a list, the reload button after an error, or an answer without a list
    // (which leaves the screen as it was, spinner turning).
    const auto listEnded = [&s] {
        return s.controller.updateFirmwaers() || !s.controller.model().reloadHidden
               || s.client.listEnd() == RequestEnd::NoResult;
    };
    const bool answered = runUntil([&s, &listEnded] {
        return s.ended || (s.root.handed && s.controller.isloadData() && s.client.inFlight() == 0 && listEnded());
    });
    if (s.ended)
        return false;
    if (!answered || (!s.controller.updateFirmwaers() && s.client.listEnd() == RequestEnd::NoResult)) {
        s.end(false, s.root.handed ? QStringLiteral("the server gave no release list")
                                   : QStringLiteral("the device was never announced"));
        return false;
    }
    if (!s.controller.updateFirmwaers()) {
        s.end(false, QStringLiteral("the release list could not be fetched"));
        return false;
    }
    return true;
}

bool LabUpdateRun::pressUpdate()
{
    State &s = *m;
    const int row = s.options.row;
    const qsizetype count = s.controller.updateFirmwaers() ? s.controller.updateFirmwaers()->size() : 0;
    if (!s.controller.releaseAt(row)) {
        s.end(false, count == 0 ? QStringLiteral("the server lists no release for this device")
                                : QStringLiteral("row %1 is past the list of %2 releases").arg(row).arg(count));
        return false;
    }
    s.controller.chengeboxClick(row);
    // A device that cannot be switched says so with every version reply; hold it to that.
    if (s.options.manual && s.root.handed)
        s.root.handed->isChangeBoot = false;
    if (s.options.pressAtMs > s.clock.nowMs())
        s.clock.advance(s.options.pressAtMs - s.clock.nowMs());
    for (const HidFault &fault : s.options.faults)
        s.bus.injectFault(fault);
    s.controller.SButtonClick(UpdateSessionController::Button::Update);
    return true;
}

UpdateRunResult LabUpdateRun::finish()
{
    State &s = *m;
    if (!runUntil([&s] { return s.ended; }))
        s.end(false,
              QStringLiteral("the update did not end within %1 s of wall time").arg(s.options.wallTimeoutMs / 1000));
    // What the device does after the outcome is not part of the run's output (nor of a recording).
    s.printing = false;
    if (s.replay)
        s.replay->finish();
    s.clock.advance(kSettleMs);
    return s.result;
}

UpdateRunResult LabUpdateRun::run()
{
    if (showScreen() && pressUpdate())
        return finish();
    m->printing = false;
    return m->result;
}

} // namespace flashwell::lab
