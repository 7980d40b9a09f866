// Endurance through the application's screens: one main window (root controller, home screen,
// update screen, chooser) on the virtual bus, offscreen, taking a hundred whole updates in turn over
// every protocol path with a bus fault in every tenth, as a user would: the device line on the home
// screen, a release row, the update button, the alert's button, back home. Watched as in the
// workflow soak: resident memory, descriptors, live QObjects and the tasks left on the clock.
#include "BenchMain.h"
#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/SMainMenu.h"
#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "device/SHIDHJZ.h"
#include "models/VirtualBootloader.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/ApplicationContext.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"
#include "rigs/MixedTimePump.h"
#include "runs/LabUpdateDevices.h"
#include "screens/HomeView.h"
#include "screens/UpdateView.h"
#include "server/LabFirmwareServer.h"
#include "ui/SButton.h"
#include "update/ObservingCatalogueClient.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "SoakPaths.h"

using namespace flashwell;
using namespace flashwell::bench;

namespace {

using State = UpdateSessionController;

// Virtual tasks run between two looks at the event loop while no server request is waiting.
constexpr int kStepsPerTurn = 2000;
constexpr qint64 kWallTimeoutMs = 60000;

// The main window of `flashwell` on a virtual bus and clock, with the lab's server behind it.
class WindowRig
{
public:
    explicit WindowRig(const QString &historyPath)
        : m_bus(m_clock)
        , m_vela2(PlatformServices{&m_clock, &m_bus})
        , m_hjz(PlatformServices{&m_clock, &m_bus})
        , m_hjzWatcher(PlatformServices{&m_clock, &m_bus})
    {
        ViewController::Services services;
        services.platform = {&m_clock, &m_bus};
        services.update = [this] {
            return UpdateServices{{&m_clock, &m_bus}, &m_vela2, &m_hjz, &m_hjzWatcher, &m_client};
        };
        // The home screen's own questions to the server (activity, a newer release to offer) are
        // not part of an update the user starts from a device line.
        services.home.recordActivity = [](int) {};
        services.home.getNewVersion = [](int, float, int, const QObject *, SHttp::FirmwareSuccess, SHttp::Failure) {};
        services.historyPath = historyPath;
        services.terminate = [](int) {};
        m_startMs = m_clock.nowMs();
        m_window = Application::createMainWindow(std::move(services), m_delegate);
        m_vc = Application::controllerOf(*m_window);
        m_window->show();
        m_client.setDownloadWatcher([this](const QString &path) {
            if (m_devices)
                m_devices->bootloader()->fitToFirmware(path);
        });
        QObject::connect(&m_vc->updateScreen(), &State::guideShown, m_vc, [this](bool error) {
            if (!error && m_devices && !m_replugged) {
                m_replugged = true;
                m_devices->replugAsUser(m_clock);
            }
        });
    }

    ~WindowRig()
    {
        m_devices.reset();
        m_window.reset();
        SMainMenu::setMainMenu(nullptr);
    }

    VirtualScheduler &clock() { return m_clock; }

    // One whole update through the screens; true when it reached state 6.
    bool update(const lab::LabUpdateOptions &options, const std::vector<HidFault> &faults)
    {
        m_replugged = false;
        m_devices = std::make_unique<lab::LabUpdateDevices>(m_bus, options);
        m_devices->plug();
        const uint16_t normalPid = options.identity == lab::LabUpdateOptions::Identity::Switch ? 0x2009
                                   : options.identity == lab::LabUpdateOptions::Identity::Sony ? 0x05C4
                                                                                               : options.pid;
        HomeView &home = *m_vc->homeView();
        SFenwykDevicePtr line;
        runUntil([&] {
            for (const SFenwykDevicePtr &d : home.devices())
                if (d->pid == normalPid)
                    line = d;
            return line != nullptr;
        });
        bool finished = false;
        if (line) {
            home.deviceLineClick(line);
            UpdateView &view = *m_vc->updateView();
            State &screen = view.controller();
            const bool listed = runUntil([&] {
                return screen.isloadData() && m_client.inFlight() == 0
                       && (screen.updateFirmwaers() || !screen.model().reloadHidden);
            });
            if (listed && !view.rows().isEmpty()) {
                view.rows().first().checkbox->click();
                for (const HidFault &fault : faults)
                    m_bus.injectFault(fault);
                view.updateButton()->click();
                runUntil([&] {
                    return screen.state() == State::kStateFinished || screen.state() == State::kStateFailed
                           || view.alert() != nullptr;
                });
                finished = screen.state() == State::kStateFinished;
                if (QMessageBox *alert = view.alert(); alert && !alert->buttons().isEmpty())
                    alert->buttons().first()->click();
            }
        }
        // The device's reset and re-enumeration, then it is unplugged and the user goes home.
        m_clock.advance(2000);
        m_devices.reset();
        m_clock.advance(30000); // long enough for any watchdog the unplug leaves running
        settleEvents();
        while (m_vc->views().size() > 1) {
            const auto depth = m_vc->views().size();
            m_vc->back();
            if (m_vc->views().size() == depth)
                break;
        }
        settleEvents();
        m_bus.clearLog(); // the bus's record of every report sent is the lab's memory, not the product's
        // The home screen's arrow animation keeps a few tasks on the clock, how many depends on where
        // in its period the clock stands: compare counts at the same point of the period.
        constexpr int64_t kHomeAnimationPeriodMs = 1800;
        if (const int64_t phase = (m_clock.nowMs() - m_startMs) % kHomeAnimationPeriodMs; phase != 0)
            m_clock.advance(kHomeAnimationPeriodMs - phase);
        return finished;
    }

private:
    // Virtual time and the event loop until `done` holds; false when the wall time ran out.
    bool runUntil(const std::function<bool()> &done)
    {
        lab::MixedTimePump pump(m_clock);
        pump.paced = [this] { return m_client.inFlight() > 0; };
        pump.stepsPerTurn = kStepsPerTurn;
        return pump.runUntil(done, kWallTimeoutMs);
    }

    // Deferred deletes and paints: what a turn of the event loop would finish.
    static void settleEvents()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }

    VirtualScheduler m_clock;
    VirtualHidBus m_bus;
    SHIDBootVela2 m_vela2;
    SHIDBootHJZ m_hjz;
    SHIDHJZ m_hjzWatcher;
    ObservingCatalogueClient m_client;
    AppDelegate m_delegate;
    std::unique_ptr<QMainWindow> m_window;
    ViewController *m_vc = nullptr;
    std::unique_ptr<lab::LabUpdateDevices> m_devices;
    bool m_replugged = false;
    int64_t m_startMs = 0;
};

void BM_WindowSoak(benchmark::State &state)
{
    const int updates = static_cast<int>(state.range(0));
    const int kWarmUp = std::min(50, updates / 2);
    QLoggingCategory::setFilterRules(QStringLiteral("flashwell.*=false\nqt.*=false"));
    QTemporaryDir dir;
    lab::LabFirmwareServer server;
    const std::vector<test::PathCase> paths = soakPaths();
    if (!serve(server, paths, dir.filePath(QStringLiteral("Downloads")))) {
        state.SkipWithError("the lab server could not listen");
        return;
    }
    SoakTally tally(kWarmUp, paths.size());
    int faulted = 0;
    for (auto _ : state) {
        WindowRig rig(dir.filePath(QStringLiteral("update-history.jsonl")));
        for (int i = 0; i < updates; ++i) {
            const std::size_t which = static_cast<std::size_t>(i) % paths.size();
            const bool fault = i % 10 == 9;
            std::vector<HidFault> faults;
            if (fault)
                faults.push_back(faultFor(faulted++));
            const bool success = rig.update(paths[which].options, faults);
            server.clearRequests(); // the lab server's own record of requests is not the product's memory
            const long pending = static_cast<long>(rig.clock().pendingCount());
            const Sample now = sample();
            if (qEnvironmentVariableIsSet("SOAK_TRACE"))
                std::fprintf(stderr, "update %d path %zu %s: %ld tasks, %ld KiB, %ld fds, %ld objects\n", i, which,
                             success ? "ok" : "failed", pending, now.rssKiB, now.fds, now.objects);
            tally.add(i, which, success, fault, pending, now);
        }
    }
    ServerConfig::install(std::nullopt);
    tally.report(state, "after_warm_up");
}

// The number of updates is the argument: `--benchmark_filter=BM_WindowSoak/100` is the figure,
// /300 shows a trend, /20 is a quick look (SOAK_TRACE=1 prints every update's sample).
BENCHMARK(BM_WindowSoak)->Arg(100)->Arg(300)->Arg(20)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    installObjectCounter();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bundle::installTranslations(app);
    ApplicationContext context;
    return bench::runBenchmarks(argc, argv);
}
