#include "boot/SHIDBootVela2.h"
#include "models/FirmwareFileBuilder.h"
#include "models/VirtualVela2Bootloader.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"
#include "rigs/QuietBootDelegate.h"
#include "rigs/SessionRig.h"
#include "runs/LabFlashRun.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>

using namespace flashwell;

namespace {

class QuietDelegate final : public lab::QuietBootDelegate
{
public:
    void SHIDBootStartUpdateing(int32_t, SHIDManager *) override { ++progressCalls; }
    int progressCalls = 0;
};

QString writeImage(QTemporaryDir &dir, int size, uint32_t pid)
{
    const QString path = dir.filePath(QStringLiteral("image.bin"));
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(lab::buildVela2File({{100, 0, 0x01018000, pid, lab::patternBytes(size)}}));
    return path;
}

// One chunk round trip through the whole stack: the session builds and sends the request, the
// transport and virtual bus carry it (zero latency), the lab's bootloader stores it and replies,
// and the reply handler reads and sends the next chunk.
void BM_Vela2ChunkRoundTrip(benchmark::State &state)
{
    QTemporaryDir dir;
    lab::SessionRig<SHIDBootVela2> rig;
    VirtualScheduler &clock = rig.clock;
    VirtualHidBus &bus = rig.bus;
    auto &session = rig.session;
    bus.setLatencyMs(0);
    QuietDelegate delegate;
    session.addBootDelegate(&delegate);
    session.open();
    lab::VirtualVela2Bootloader device(bus, 0x9020);
    device.seedFlash(0);
    device.plug();
    clock.runPending();
    const int chunks = static_cast<int>(state.max_iterations) + 16;
    session.filePath = writeImage(dir, chunks * 46, 0x9020);
    session.readPID();
    // Run identification and the erases, up to the first chunk.
    while (delegate.progressCalls == 0 && clock.step()) {
    }
    for (auto _ : state) {
        // Request to the device, reply to the host (which sends the next request).
        clock.step();
        clock.step();
    }
    state.counters["bytes_per_chunk"] = 46;
    benchmark::DoNotOptimize(delegate.progressCalls);
}
BENCHMARK(BM_Vela2ChunkRoundTrip)->Iterations(100'000)->Unit(benchmark::kMicrosecond);

// A whole 256 KiB update (checksummed boot type with chunk verification), in real time.
void BM_Vela2Update256KiB(benchmark::State &state)
{
    constexpr int kSize = 256 * 1024;
    QTemporaryDir dir;
    const QString path = writeImage(dir, kSize, 0x9026);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        lab::LabFlashOptions o;
        o.bootloader = lab::LabBootloader::SecondGen;
        o.reportedPid = 0x9026;
        o.file = path;
        lab::LabFlashRun run(o);
        if (!run.run().success)
            state.SkipWithError("update failed");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    // The wire minimum: one 2 ms full-speed round trip per 46-byte chunk.
    const double wireMinimumS = (kSize + 45) / 46 * 0.002;
    state.counters["wire_minimum_s"] = wireMinimumS;
    state.counters["host_share_pct"] = 100.0 * seconds / static_cast<double>(state.iterations()) / wireMinimumS;
}
BENCHMARK(BM_Vela2Update256KiB)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
