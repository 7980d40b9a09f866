#include "LabUpdateRun.h"
#include "platform/Bytes.h"

#include "BootEventPrinter.h"
#include "CountingCatalogueClient.h"
#include "FlashMemory.h"
#include "LabUpdateDevices.h"
#include "ReplayDevices.h"
#include "VirtualClassicBootloader.h"
#include "VirtualDinputController.h"
#include "VirtualHjzBootloader.h"
#include "VirtualVela2Bootloader.h"
#include "VirtualVendorModeController.h"
#include "boot/HjzProtocol.h"
#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "device/DeviceDelegate.h"
#include "device/HidTransport.h"
#include "device/SHIDDinput.h"
#include "device/SHIDHJZ.h"
#include "device/SHIDSwitchAndMac.h"
#include "device/UsbIdentities.h"
#include "net/SHttp.h"
#include "platform/NotificationCenter.h"
#include "platform/RecordingHidBackend.h"
#include "platform/RecordingWriter.h"
#include "platform/VirtualScheduler.h"
#include "update/FirmwareCatalogueClient.h"
#include "update/UpdateRecordingContext.h"
#include "update/UpdateSessionController.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QPointer>
#include <QTimer>

namespace flashwell::lab {

namespace {

// What the device still does after the outcome (its reset, re-enumeration), not printed.
constexpr int64_t kSettleMs = 2000;
// Virtual tasks run between two looks at the event loop while no request is waiting.
constexpr int kStepsPerTurn = 4000;

using CountingClient = CountingCatalogueClient;

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

void waitForEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

QJsonObject flashDumpOf(const FlashMemory &flash)
{
    QJsonArray regions;
    for (const auto &r : flash.regions())
        regions.append(QJsonObject{{QStringLiteral("address"), static_cast<qint64>(r.address)},
                                   {QStringLiteral("data"), QString::fromLatin1(r.data.toHex())}});
    return QJsonObject{{QStringLiteral("regions"), regions}};
}

struct LabUpdateRun::State
{
    explicit State(LabUpdateOptions o)
        : options(std::move(o))
        , bus(clock)
        , writer(openWriter())
        , recorder(writer ? std::make_unique<RecordingHidBackend>(bus, *writer) : nullptr)
        , context(client, writer.get())
        , vela2(PlatformServices{&clock, host()})
        , hjz(PlatformServices{&clock, host()})
        , hjzWatcher(PlatformServices{&clock, host()})
        , dinput(PlatformServices{&clock, host()})
        , switchMac(PlatformServices{&clock, host()})
        , controller(UpdateServices{PlatformServices{&clock, host()}, &vela2, &hjz, &hjzWatcher, &context})
    {}

    std::unique_ptr<RecordingWriter> openWriter()
    {
        if (options.recordPath.isEmpty())
            return nullptr;
        auto w = std::make_unique<RecordingWriter>(clock);
        if (!w->open(options.recordPath, QStringLiteral("flashwell-lab"), QStringLiteral(FLASHWELL_VERSION),
                     QJsonObject{{QStringLiteral("kind"), QStringLiteral("update")}}))
            recordingError = w->error();
        return w;
    }
    // The backend the product sees: the bus, or the recorder in front of it.
    HidBackend *host() { return recorder ? static_cast<HidBackend *>(recorder.get()) : &bus; }

    LabUpdateOptions options;
    VirtualScheduler clock;
    VirtualHidBus bus;
    CountingClient client;
    QString recordingError;
    std::unique_ptr<RecordingWriter> writer;
    std::unique_ptr<RecordingHidBackend> recorder;
    UpdateRecordingContext context;
    std::unique_ptr<ReplayDevices> replay;
    SHIDBootVela2 vela2;
    SHIDBootHJZ hjz;
    SHIDHJZ hjzWatcher;
    SHIDDinput dinput;
    SHIDSwitchAndMac switchMac;
    UpdateSessionController controller;
    BootEventPrinter printer;
    LabRoot root;

    std::unique_ptr<LabUpdateDevices> devices;

    std::function<void(const QJsonObject &)> *sink = nullptr;
    bool printing = true;
    bool ended = false;
    bool userReplugged = false;
    std::optional<uint64_t> printedState;
    QString failureCause;
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
    s.printer.seen = [&s](const char *event) {
        if (qstrcmp(event, "SHIDBootRemoveDevice") == 0
            && s.controller.state() == UpdateSessionController::kStateWriting)
            s.failureCause = QStringLiteral("the bootloader device left while writing");
    };
    s.controller.setBootTap(&s.printer, &s.printer);
    s.controller.setDelegate(&s.root);
    s.client.onDownloaded = [&s](const QString &path) {
        if (s.devices)
            s.devices->fitHjzGeometry(path);
    };

    QObject::connect(&s.controller, &UpdateSessionController::stateChanged, &s.root, [&s](quint64 state) {
        // A state set again to the value it has is no change.
        if (!s.printedState || *s.printedState != state)
            s.print(QJsonObject{{QStringLiteral("state"), static_cast<qint64>(state)}});
        s.printedState = state;
        if (state == UpdateSessionController::kStateFinished)
            s.end(true, QStringLiteral("update finished"));
        else if (state == UpdateSessionController::kStateFailed)
            s.end(false, s.failureCause.isEmpty() ? QStringLiteral("no sign of life from the update for 20 s")
                                                  : s.failureCause);
    });
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
    NotificationCenter::defaultCenter().addObserver(
        &s.root, QString::fromLatin1(transport::kUpdateErrorNotification), [&s] {
            s.failureCause = QStringLiteral("a data report could not be sent");
            s.controller.updateingError();
        });

    const uint16_t normalPid = s.options.identity == LabUpdateOptions::Identity::Switch ? 0x2009
                               : s.options.identity == LabUpdateOptions::Identity::Sony ? 0x05C4
                                                                                        : s.options.pid;
    s.root.isOurs = [normalPid](const SFenwykDevicePtr &d) { return d->pid == normalPid; };
    s.root.show = [&s](const SFenwykDevicePtr &device) {
        if (s.options.manual)
            device->isChangeBoot = false;
        s.controller.setDevice(device);
        s.controller.setminiImageposition(0);
        s.controller.setState(UpdateSessionController::kStateReady);
        s.controller.loadViews();
    };
    s.dinput.setDelegate(&s.root);
    s.switchMac.setDelegate(&s.root);
    s.dinput.open();
    s.switchMac.open();
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
    return m->recordingError;
}

ReplayDevices *LabUpdateRun::replayDevices() const
{
    return m->replay.get();
}

LabUpdateRun::~LabUpdateRun()
{
    m->printing = false;
    NotificationCenter::defaultCenter().removeObserver(&m->root);
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
    const LabUpdateDevices &d = *m->devices;
    if (d.classicBootloader())
        return d.classicBootloader()->flash();
    return d.vela2Bootloader() ? d.vela2Bootloader()->flash() : d.hjzBootloader()->flash();
}

QJsonObject LabUpdateRun::flashDump() const
{
    return flashDumpOf(flash());
}

QString LabUpdateRun::firmwarePath() const
{
    return m->controller.savePath;
}

int LabUpdateRun::requestsInFlight() const
{
    return m->client.inFlight;
}

int LabUpdateRun::bootloaderRequests() const
{
    if (!m->devices)
        return 0;
    if (m->devices->classicBootloader())
        return m->devices->classicBootloader()->requests();
    return m->devices->vela2Bootloader() ? m->devices->vela2Bootloader()->requests() : 0;
}

const UpdateRunResult &LabUpdateRun::result() const
{
    return m->result;
}

VirtualClassicBootloader *LabUpdateRun::classicBootloader() const
{
    return m->devices ? m->devices->classicBootloader() : nullptr;
}

VirtualVela2Bootloader *LabUpdateRun::vela2Bootloader() const
{
    return m->devices ? m->devices->vela2Bootloader() : nullptr;
}

VirtualHjzBootloader *LabUpdateRun::hjzBootloader() const
{
    return m->devices ? m->devices->hjzBootloader() : nullptr;
}

bool LabUpdateRun::runUntil(const std::function<bool()> &done)
{
    State &s = *m;
    QElapsedTimer wall;
    wall.start();
    qint64 last = 0;
    while (!done()) {
        QCoreApplication::processEvents();
        if (done())
            return true;
        const qint64 now = wall.elapsed();
        if (now > s.options.wallTimeoutMs)
            return false;
        if (s.client.inFlight > 0 || s.options.realTime) {
            // Waiting for the server: virtual time goes at the pace of the wall clock.
            s.clock.advance(now - last);
            waitForEvents(2);
        } else {
            int steps = 0;
            while (steps < kStepsPerTurn && !done() && s.client.inFlight == 0 && s.clock.step())
                ++steps;
            if (steps == 0)
                waitForEvents(2);
        }
        last = now;
    }
    return true;
}

bool LabUpdateRun::showScreen()
{
    State &s = *m;
    if (s.replay) {
        s.replay->start();
    } else {
        s.devices->plug();
    }
    const bool answered = runUntil([&s] {
        return s.ended
               || (s.root.handed && s.controller.isloadData && s.client.inFlight == 0
                   && (s.controller.updateFirmwaers || !s.controller.model().reloadHidden));
    });
    if (s.ended)
        return false;
    if (!answered) {
        s.end(false, s.root.handed ? QStringLiteral("the server gave no release list")
                                   : QStringLiteral("the device was never announced"));
        return false;
    }
    if (!s.controller.updateFirmwaers) {
        s.end(false, QStringLiteral("the release list could not be fetched"));
        return false;
    }
    return true;
}

bool LabUpdateRun::pressUpdate()
{
    State &s = *m;
    const int row = s.options.row;
    const qsizetype count = s.controller.updateFirmwaers ? s.controller.updateFirmwaers->size() : 0;
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
