// Where an update's virtual time goes: from the press of update to state 6, every jump of the
// virtual clock is put down to the task it waited for. Bus deliveries (scheduled without an owner,
// at the bus latency) are the round trips; everything else is a fixed wait, named by the class
// that scheduled it and its delay. Counters are seconds of virtual time.
#include "models/FirmwareFileBuilder.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/VirtualScheduler.h"
#include "runs/LabUpdateRun.h"
#include "server/LabFirmwareServer.h"
#include "update/UpdateSessionController.h"

#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <string>

using namespace flashwell;

namespace {

constexpr int kSize = 256 * 1024;

struct BreakdownCase
{
    lab::LabUpdateOptions options;
    int releaseType;
    QByteArray file;
};

lab::LabUpdateOptions dinput(uint16_t pid, lab::LabBootloader bootloader)
{
    lab::LabUpdateOptions o;
    o.pid = pid;
    o.boot.bootloader = bootloader;
    return o;
}

// The four protocols' updates through the D-input switch, each with a 256 KiB image.
BreakdownCase caseFor(int which)
{
    switch (which) {
    case 0:
        return {dinput(0x9026, lab::LabBootloader::SecondGen), 38,
                lab::buildVela2File({{617, 0, 0x01018000, 0x9026, lab::patternBytes(kSize)}})};
    case 1: {
        lab::ClassicFirmware fw;
        fw.version = 105;
        fw.data = lab::patternBytes(kSize, 1);
        return {dinput(0x3011, lab::LabBootloader::Classic), 12, fw.build()};
    }
    case 2: {
        lab::LabUpdateOptions o = dinput(0x3012, lab::LabBootloader::SecondGen);
        o.boot.appZone = 0x1000;
        o.boot.eraseUnit = 4096;
        return {o, 13, lab::buildVela2File({{300, 0, 0, 0x3012, lab::patternBytes(kSize, 4)}})};
    }
    default: {
        lab::HjzFirmware fw;
        fw.deviceId = 387;
        fw.pageSize = 1024;
        fw.data = lab::patternBytes(kSize, 5);
        return {dinput(0x23FB, lab::LabBootloader::Hjz), 47, fw.build()};
    }
    }
}

std::string nameOf(const VirtualScheduler::Wait &wait, int64_t latencyMs)
{
    if (!wait.source && wait.delayMs == latencyMs)
        return "round_trips_s";
    const std::string source = wait.source ? wait.source : "lab_device";
    return "wait_" + source + "_" + std::to_string(wait.delayMs) + "ms_s";
}

void BM_VirtualTimeBreakdown(benchmark::State &state)
{
    const BreakdownCase c = caseFor(static_cast<int>(state.range(0)));
    QTemporaryDir dir;
    lab::LabFirmwareServer server;
    server.listen();
    server.addRelease(QJsonObject{{QStringLiteral("id"), 1},
                                  {QStringLiteral("type"), c.releaseType},
                                  {QStringLiteral("version"), 6.17},
                                  {QStringLiteral("fileName"), QStringLiteral("fw_V6.17.bin")}},
                      c.file);
    ServerConfig config;
    config.primary = config.china = config.beta = server.baseUrl();
    config.downloadsRoot = dir.filePath(QStringLiteral("downloads"));
    ServerConfig::install(config);
    SHttp::network().setProxy(QNetworkProxy::NoProxy);
    {
        lab::LabUpdateRun warmUp(c.options); // fills the download cache: the wait for the server is not timed
        if (!warmUp.run().success)
            state.SkipWithError("the first update failed");
    }

    std::map<std::string, double> seconds;
    double total = 0;
    std::size_t hostReports = 0;
    for (auto _ : state) {
        seconds.clear();
        lab::LabUpdateRun run(c.options);
        if (!run.showScreen()) {
            state.SkipWithError("no release list");
            break;
        }
        const int64_t pressedAt = run.clock().nowMs();
        const std::size_t reportsBefore = run.bus().outputLog().size();
        const int64_t latency = run.bus().latencyMs();
        run.clock().setWaitObserver([&](const VirtualScheduler::Wait &wait) {
            seconds[nameOf(wait, latency)] += static_cast<double>(wait.waitedMs) / 1000.0;
        });
        run.pressUpdate();
        run.runUntil([&] { return run.controller().state() == UpdateSessionController::kStateFinished; });
        run.clock().setWaitObserver(nullptr);
        if (run.controller().state() != UpdateSessionController::kStateFinished)
            state.SkipWithError("update did not finish");
        total = static_cast<double>(run.clock().nowMs() - pressedAt) / 1000.0;
        hostReports = run.bus().outputLog().size() - reportsBefore;
        run.clock().advance(2000);
    }
    for (const auto &[name, s] : seconds)
        state.counters[name] = s;
    state.counters["virtual_s"] = total;
    state.counters["host_reports"] = static_cast<double>(hostReports);
    ServerConfig::install(std::nullopt);
}
// 0 second generation (the workflow bench's update), 1 classic, 2 JL, 3 HJZ.
BENCHMARK(BM_VirtualTimeBreakdown)->DenseRange(0, 3)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
