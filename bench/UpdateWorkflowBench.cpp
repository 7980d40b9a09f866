#include "boot/SHIDBootVela2.h"
#include "models/FirmwareFileBuilder.h"
#include "models/VirtualVela2Bootloader.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"
#include "rigs/QuietBootDelegate.h"
#include "runs/LabUpdateRun.h"
#include "server/LabFirmwareServer.h"
#include "update/UpdateSessionController.h"

#include <QFile>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

using namespace flashwell;

namespace {

// A whole 256 KiB second-generation update through the update workflow (screen logic, D-input
// switch, re-enumeration, session, lab bootloader) on a bus with a 2 ms round trip. The file is
// in the download cache after the first run, so each iteration times the host's own work from
// the press of update to state 6; the wire's time is virtual.
void BM_UpdateWorkflow256KiB(benchmark::State &state)
{
    constexpr int kSize = 256 * 1024;
    constexpr uint16_t kPid = 0x9026;
    QTemporaryDir dir;
    const QByteArray file = lab::buildVela2File({{617, 0, 0x01018000, kPid, lab::patternBytes(kSize)}});
    lab::LabFirmwareServer server;
    server.listen();
    server.addRelease(QJsonObject{{QStringLiteral("id"), 1},
                                  {QStringLiteral("type"), 38},
                                  {QStringLiteral("version"), 6.17},
                                  {QStringLiteral("fileName"), QStringLiteral("tern_V6.17.bin")}},
                      file);
    ServerConfig config;
    config.primary = config.china = config.beta = server.baseUrl();
    config.downloadsRoot = dir.filePath(QStringLiteral("downloads"));
    ServerConfig::install(config);
    SHttp::network().setProxy(QNetworkProxy::NoProxy);

    lab::LabUpdateOptions o;
    o.pid = kPid;
    o.boot.bootloader = lab::LabBootloader::SecondGen;
    o.busLatencyMs = 1;
    {
        lab::LabUpdateRun warmUp(o); // fills the download cache
        if (!warmUp.run().success)
            state.SkipWithError("the first update failed");
    }

    double seconds = 0;
    double cpuSeconds = 0;
    const auto threadCpu = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    };
    int workflowRequests = 0;
    int64_t virtualMs = 0;
    for (auto _ : state) {
        lab::LabUpdateRun run(o);
        if (!run.showScreen()) {
            state.SkipWithError("no release list");
            break;
        }
        const int64_t pressedAt = run.clock().nowMs();
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = threadCpu();
        run.pressUpdate();
        run.runUntil([&] { return run.controller().state() == UpdateSessionController::kStateFinished; });
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpuSeconds += threadCpu() - cpuStart;
        if (run.controller().state() != UpdateSessionController::kStateFinished)
            state.SkipWithError("update did not finish");
        virtualMs = run.clock().nowMs() - pressedAt;
        run.clock().advance(2000); // the reset that follows success is still on the wire
        workflowRequests = run.bootloader()->requests();
    }

    // The protocol's own count: the same file through the session alone, driven as the lab's flash
    // command drives it (readPID on arrival).
    int protocolRequests = 0;
    {
        const QString path = dir.filePath(QStringLiteral("alone.bin"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(file);
        f.close();
        VirtualScheduler clock;
        VirtualHidBus bus(clock);
        bus.setLatencyMs(1);
        lab::QuietBootDelegate quiet;
        SHIDBootVela2 session({&clock, &bus});
        session.addBootDelegate(&quiet);
        session.open();
        lab::VirtualVela2Bootloader device(bus, kPid);
        device.seedFlash(617);
        device.plug();
        clock.runPending();
        session.filePath = path;
        session.readPID();
        clock.advance(60'000);
        protocolRequests = device.requests();
        if (!device.wasReset())
            state.SkipWithError("the session alone did not finish");
    }

    // The wire minimum: one 2 ms round trip per 46-byte chunk.
    const double wireMinimumS = (kSize + 45) / 46 * 0.002;
    state.counters["wire_minimum_s"] = wireMinimumS;
    state.counters["host_share_pct"] = 100.0 * seconds / static_cast<double>(state.iterations()) / wireMinimumS;
    // The same on the thread's CPU clock: what the host itself spent, whatever else the machine ran.
    state.counters["host_cpu_share_pct"] = 100.0 * cpuSeconds / static_cast<double>(state.iterations()) / wireMinimumS;
    state.counters["round_trips"] = workflowRequests;
    state.counters["protocol_round_trips"] = protocolRequests;
    state.counters["virtual_s"] = static_cast<double>(virtualMs) / 1000.0;
    ServerConfig::install(std::nullopt);
}
BENCHMARK(BM_UpdateWorkflow256KiB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
