// Does the window keep answering while it works? The demo's real-time lab (virtual devices on the
// Qt event loop with a 2 ms round trip, its servers on loopback) behind the real main window, and
// a 1 ms probe timer on the GUI thread: the gaps between its ticks while the window runs a 256 KiB
// second-generation update, and while it downloads a 64 MiB release. A gap longer than a frame
// (16 ms) is a stall a user sees.
#include "BenchMain.h"
#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/SMainMenu.h"
#include "demo/DemoLab.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/ApplicationContext.h"
#include "platform/QtScheduler.h"
#include "platform/RecordingWriter.h"
#include "platform/UserDefaults.h"
#include "screens/HomeView.h"
#include "screens/UpdateView.h"
#include "ui/SButton.h"
#include "update/FirmwareCatalogueClient.h"
#include "update/UpdateRecordingContext.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

using namespace flashwell;

namespace {

using State = UpdateSessionController;

// The demo's second-generation device (0x9025), as the demo lab lists it.
constexpr int kSecondGenDevice = 1;

// Ticks of a 1 ms timer on the GUI thread; the gaps between them are how long the thread was busy.
class StallProbe
{
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        m_ticks.clear();
        m_busy.clear();
        m_clock.start();
        tick();
        m_timer.start();
    }
    void stop()
    {
        tick();
        m_timer.stop();
    }
    // Milliseconds since start().
    double nowMs() const { return static_cast<double>(m_clock.nsecsElapsed()) / 1e6; }
    // With STALL_TRACE set: every gap over a frame, with when it began.
    void printLongGaps() const
    {
        if (!qEnvironmentVariableIsSet("STALL_TRACE"))
            return;
        for (std::size_t i = 1; i < m_ticks.size(); ++i)
            if (m_ticks[i] - m_ticks[i - 1] > 16'000'000)
                std::fprintf(stderr, "gap of %.1f ms (%.1f ms busy) at %.1f ms\n",
                             static_cast<double>(m_ticks[i] - m_ticks[i - 1]) / 1e6,
                             static_cast<double>(m_busy[i] - m_busy[i - 1]) / 1e6,
                             static_cast<double>(m_ticks[i - 1]) / 1e6);
    }
    // Gaps between ticks, in milliseconds, sorted.
    std::vector<double> gapsMs() const { return sortedDifferencesMs(m_ticks); }
    // The GUI thread's own CPU time between ticks, sorted: the part of each gap it spent working
    // (the rest, on a loaded machine, it waited for a core).
    std::vector<double> busyMs() const { return sortedDifferencesMs(m_busy); }

private:
    static qint64 threadCpuNs()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
    }
    void tick()
    {
        m_ticks.push_back(m_clock.nsecsElapsed());
        m_busy.push_back(threadCpuNs());
    }
    static std::vector<double> sortedDifferencesMs(const std::vector<qint64> &at)
    {
        std::vector<double> out;
        for (std::size_t i = 1; i < at.size(); ++i)
            out.push_back(static_cast<double>(at[i] - at[i - 1]) / 1e6);
        std::sort(out.begin(), out.end());
        return out;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    std::vector<qint64> m_ticks;
    std::vector<qint64> m_busy;
};

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer wall;
    wall.start();
    while (!done()) {
        if (wall.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// The demo, without its menu: the lab on the real clock, the shared services on its bus, the window.
class DemoWindow
{
public:
    explicit DemoWindow(const QString &folder)
        : m_lab(m_scheduler, folder)
    {
        m_started = m_lab.start();
        ServerConfig::install(m_lab.serverConfig());
        m_context.installServices(m_scheduler, m_lab.bus());
        SHttp::network().setProxy(QNetworkProxy::NoProxy);
        // As `flashwell` starts: the update screen's server client behind a recording context that
        // watches every update, idle until a recording is asked for.
        ViewController::Services services;
        services.historyPath = folder + QStringLiteral("/update-history.jsonl");
        services.terminate = [](int) {};
        services.update = [this] {
            UpdateServices update = UpdateServices::shared();
            update.server = &m_recording;
            return update;
        };
        services.updateScreenMade = [this](UpdateSessionController &controller) { m_recording.watch(controller); };
        m_window = Application::createMainWindow(std::move(services), m_delegate);
        m_vc = Application::controllerOf(*m_window);
        m_window->show();
    }
    ~DemoWindow()
    {
        m_window.reset();
        SMainMenu::setMainMenu(nullptr);
        ServerConfig::install(std::nullopt);
    }

    bool started() const { return m_started; }
    lab::DemoLab &lab() { return m_lab; }
    ViewController &controller() { return *m_vc; }

    // Plugs demo device `index`, opens its update screen from its home line and checks the row of
    // the release `versionHundredths`; false when any step does not happen.
    bool openRelease(int index, uint16_t versionHundredths)
    {
        m_lab.plug(index);
        HomeView &home = *m_vc->homeView();
        SFenwykDevicePtr line;
        const bool listed = waitFor(
            [&] {
                for (const SFenwykDevicePtr &d : home.devices())
                    line = d;
                return line != nullptr;
            },
            10000);
        if (!listed)
            return false;
        home.deviceLineClick(line);
        UpdateView &view = *m_vc->updateView();
        State &screen = view.controller();
        if (!waitFor([&] { return screen.updateFirmwaers().has_value() && !view.rows().isEmpty(); }, 10000))
            return false;
        const QList<Firmware> &releases = *screen.updateFirmwaers();
        for (int row = 0; row < releases.size() && row < view.rows().size(); ++row) {
            if (qRound(releases[row].version * 100) == versionHundredths) {
                view.rows()[row].checkbox->click();
                return true;
            }
        }
        return false;
    }

private:
    QtScheduler m_scheduler;
    lab::DemoLab m_lab;
    ApplicationContext m_context;
    RecordingWriter m_writer{m_scheduler};
    UpdateRecordingContext m_recording{FirmwareCatalogueClient::shared(), &m_writer};
    AppDelegate m_delegate;
    std::unique_ptr<QMainWindow> m_window;
    ViewController *m_vc = nullptr;
    bool m_started = false;
};

void report(benchmark::State &state, const StallProbe &probe)
{
    probe.printLongGaps();
    const std::vector<double> gaps = probe.gapsMs();
    if (gaps.empty())
        return;
    const auto p99 = static_cast<std::size_t>(static_cast<double>(gaps.size() - 1) * 0.99);
    state.counters["max_gap_ms"] = gaps.back();
    state.counters["p99_gap_ms"] = gaps[p99];
    const std::vector<double> busy = probe.busyMs();
    state.counters["max_busy_ms"] = busy.back();
    state.counters["p99_busy_ms"] = busy[p99];
    state.counters["median_gap_ms"] = gaps[gaps.size() / 2];
    state.counters["ticks"] = static_cast<double>(gaps.size());
    state.counters["gaps_over_16ms"] =
        static_cast<double>(gaps.end() - std::upper_bound(gaps.begin(), gaps.end(), 16.0));
}

// From the press of update to state 6: the download of the 256 KiB release, the switch, the writing
// and the verification, with the progress drawn as it goes.
void BM_WindowStall_Update256KiB(benchmark::State &state)
{
    QTemporaryDir dir;
    StallProbe probe;
    for (auto _ : state) {
        DemoWindow demo(dir.path());
        constexpr uint16_t kVersion = 130;
        if (!demo.started() || !demo.lab().addRelease(kSecondGenDevice, kVersion, 256 * 1024)
            || !demo.openRelease(kSecondGenDevice, kVersion)) {
            state.SkipWithError("the update screen did not come up with the 256 KiB release");
            return;
        }
        UpdateView &view = *demo.controller().updateView();
        if (qEnvironmentVariableIsSet("STALL_TRACE"))
            QObject::connect(&view.controller(), &State::stateChanged, &view, [&probe](quint64 s) {
                std::fprintf(stderr, "state %llu at %.1f ms\n", static_cast<unsigned long long>(s), probe.nowMs());
            });
        probe.start();
        view.updateButton()->click();
        const bool done = waitFor(
            [&] {
                const uint64_t s = view.controller().state();
                return s == State::kStateFinished || s == State::kStateFailed || view.alert();
            },
            120000);
        probe.stop();
        if (!done || view.controller().state() != State::kStateFinished) {
            state.SkipWithError("the update did not finish");
            return;
        }
    }
    report(state, probe);
}
BENCHMARK(BM_WindowStall_Update256KiB)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

// From the press of update until the 64 MiB file is in the cache and writing begins.
void BM_WindowStall_Download64MiB(benchmark::State &state)
{
    QTemporaryDir dir;
    StallProbe probe;
    for (auto _ : state) {
        DemoWindow demo(dir.path());
        constexpr uint16_t kVersion = 140;
        if (!demo.started() || !demo.lab().addRelease(kSecondGenDevice, kVersion, 64 * 1024 * 1024)
            || !demo.openRelease(kSecondGenDevice, kVersion)) {
            state.SkipWithError("the update screen did not come up with the 64 MiB release");
            return;
        }
        UpdateView &view = *demo.controller().updateView();
        State &screen = view.controller();
        probe.start();
        view.updateButton()->click();
        // Until the first data report: the download, its checks, and what the update does with the
        // file before writing (its digests, the image check, the switch to the bootloader, the erase).
        const bool downloaded = waitFor(
            [&] {
                return screen.state() == State::kStateWriting || screen.state() == State::kStateFailed || view.alert();
            },
            120000);
        probe.stop();
        if (!downloaded || screen.savePath().isEmpty()) {
            state.SkipWithError("the download did not finish");
            return;
        }
        // The device leaves: the update ends without writing 64 MiB at 23 bytes a millisecond.
        demo.lab().unplug(kSecondGenDevice);
        waitFor([] { return false; }, 200);
    }
    report(state, probe);
}
BENCHMARK(BM_WindowStall_Download64MiB)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("flashwell.*=false"));
    return bench::runBenchmarks(argc, argv, [&app] { Application::prepare(app); });
}
