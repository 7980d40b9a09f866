#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <benchmark/benchmark.h>

#include <thread>

namespace {

// Resident memory of a running process, in MiB (0 when it cannot be read).
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

// The whole application (the demo build, offscreen): wall time from starting the process to its
// main window being shown, and resident memory after 2 s idle with one device listed.
void BM_StartupToWindowShown(benchmark::State &state)
{
    double rss = 0;
    int runs = 0;
    for (auto _ : state) {
        QProcess demo;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        demo.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        demo.start(QStringLiteral(FLASHWELL_DEMO_PATH),
                   {QStringLiteral("--devices"), QStringLiteral("1"), QStringLiteral("--report-startup")});
        bool shown = false;
        while (!shown && demo.waitForReadyRead(10000))
            shown = demo.readAll().contains("window shown");
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        if (!shown) {
            state.SkipWithError("the demo never showed its window");
            demo.kill();
            demo.waitForFinished();
            break;
        }
        state.SetIterationTime(seconds);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        rss += residentMiB(demo.processId());
        ++runs;
        demo.terminate();
        if (!demo.waitForFinished(5000)) {
            demo.kill();
            demo.waitForFinished();
        }
    }
    if (runs > 0)
        state.counters["rss_MiB_after_2s_idle"] = rss / runs;
}
BENCHMARK(BM_StartupToWindowShown)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace
