// Start-up under a real X server: a private Xvfb (and session bus), watched from outside through xcb. The clock runs
// from starting the program to the first pixel of its window that is not the black of the bare
// screen (the window is mapped, then painted), then resident memory after 2 s idle.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

namespace {

double residentMiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// CPU time of every thread of a running process so far, in milliseconds (scheduler statistics).
double cpuMs(qint64 pid)
{
    double ns = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (stat.open(QIODevice::ReadOnly))
            ns += stat.readAll().split(' ').first().toDouble();
    }
    return ns / 1e6;
}

// Xvfb on the first free display (it says which on its standard output), black screen.
class PrivateX
{
public:
    PrivateX()
    {
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-br"),
                        QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QByteArray out;
        while (!out.contains('\n') && m_server.waitForReadyRead(10000))
            out += m_server.readAllStandardOutput();
        if (out.trimmed().isEmpty())
            return;
        m_display = QStringLiteral(":") + QString::fromLatin1(out.trimmed());
        m_connection = xcb_connect(m_display.toLatin1().constData(), nullptr);
        if (xcb_connection_has_error(m_connection))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
        // A desktop session has its message bus; without one, Qt would have dbus-launch start one
        // on every program start.
        m_bus.start(QStringLiteral("dbus-daemon"),
                    {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        QByteArray address;
        while (!address.contains('\n') && m_bus.waitForReadyRead(10000))
            address += m_bus.readAllStandardOutput();
        m_busAddress = QString::fromLatin1(address.trimmed());
        m_ready = !m_busAddress.isEmpty();
    }
    ~PrivateX()
    {
        if (m_connection)
            xcb_disconnect(m_connection);
        m_bus.terminate();
        m_bus.waitForFinished(5000);
        m_server.terminate();
        m_server.waitForFinished(5000);
    }

    bool ready() const { return m_ready; }
    const QString &display() const { return m_display; }
    const QString &busAddress() const { return m_busAddress; }

    // The first top-level window mapped from now on (within `timeoutMs`).
    std::optional<xcb_window_t> waitForMap(int timeoutMs)
    {
        QElapsedTimer wall;
        wall.start();
        while (wall.elapsed() < timeoutMs) {
            std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(xcb_poll_for_event(m_connection),
                                                                             &std::free);
            if (!event) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) {
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event.get());
                if (!map->override_redirect)
                    return map->window;
            }
        }
        return std::nullopt;
    }

    // Polls a pixel near the window's lower right corner (the screens' background, below the menu
    // bar) until it is no longer black; false when that does not happen within `timeoutMs`.
    bool waitForPaint(xcb_window_t window, int timeoutMs)
    {
        QElapsedTimer wall;
        wall.start();
        while (wall.elapsed() < timeoutMs) {
            auto geometry = std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)>(
                xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr), &std::free);
            if (geometry && geometry->width > 8 && geometry->height > 8) {
                auto image = std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)>(
                    xcb_get_image_reply(m_connection,
                                        xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window,
                                                      static_cast<int16_t>(geometry->width - 5),
                                                      static_cast<int16_t>(geometry->height - 5), 1, 1, ~0U),
                                        nullptr),
                    &std::free);
                if (image) {
                    const uint8_t *pixel = xcb_get_image_data(image.get());
                    const int length = xcb_get_image_data_length(image.get());
                    for (int i = 0; i < length && i < 3; ++i)
                        if (pixel[i] != 0)
                            return true;
                }
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return false;
    }

private:
    QProcess m_server;
    QProcess m_bus;
    QString m_display;
    QString m_busAddress;
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = 0;
    bool m_ready = false;
};

// `program` with `arguments` on the private display: time to its window's first painted pixel,
// resident memory after 2 s idle.
void startUnderX(benchmark::State &state, const QString &program, const QStringList &arguments)
{
    PrivateX x;
    if (!x.ready()) {
        state.SkipWithError("Xvfb or the session bus did not start");
        return;
    }
    QTemporaryDir home;
    double rss = 0;
    double mapped = 0;
    double cpu = 0;
    int runs = 0;
    for (auto _ : state) {
        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("DISPLAY"), x.display());
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), x.busAddress());
        // Its own settings, instance lock and caches, never the user's.
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        app.setProcessEnvironment(env);
        app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        app.start(program, arguments);
        const std::optional<xcb_window_t> window = x.waitForMap(10000);
        const double mappedSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        const bool painted = window && x.waitForPaint(*window, 10000);
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        const double cpuToPaint = cpuMs(app.processId());
        if (!painted) {
            state.SkipWithError("the window was never mapped and painted");
            app.kill();
            app.waitForFinished();
            break;
        }
        state.SetIterationTime(seconds);
        mapped += mappedSeconds;
        cpu += cpuToPaint;
        std::this_thread::sleep_for(std::chrono::seconds(2));
        rss += residentMiB(app.processId());
        ++runs;
        app.terminate();
        if (!app.waitForFinished(5000)) {
            app.kill();
            app.waitForFinished();
        }
    }
    if (runs > 0) {
        state.counters["mapped_ms"] = mapped / runs * 1000.0;
        // What the program itself spent to get there, whatever else the machine ran meanwhile.
        state.counters["cpu_ms_to_first_paint"] = cpu / runs;
        state.counters["rss_MiB_after_2s_idle"] = rss / runs;
    }
}

// The demo (the same window and start-up on the lab's virtual bus) with one device plugged.
void BM_StartupToFirstPaintX11_Demo(benchmark::State &state)
{
    startUnderX(state, QStringLiteral(FLASHWELL_DEMO_PATH), {QStringLiteral("--devices"), QStringLiteral("1")});
}
BENCHMARK(BM_StartupToFirstPaintX11_Demo)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// The program itself, on this machine's (empty) hidraw bus.
void BM_StartupToFirstPaintX11_Flashwell(benchmark::State &state)
{
    startUnderX(state, QStringLiteral(FLASHWELL_APP_PATH), {});
}
BENCHMARK(BM_StartupToFirstPaintX11_Flashwell)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace
