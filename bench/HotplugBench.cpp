// How fast the real hidapi backend notices a plugged device, and what its polling costs, against
// hidraw nodes that umockdev emulates (it also emits their uevents). Run under umockdev-wrapper.
#include "models/VirtualDinputController.h"
#include "platform/ApplicationContext.h"
#include "platform/HidApiBackend.h"
#include "platform/HidManager.h"
#include "platform/HidrawSignature.h"
#include "platform/QtScheduler.h"
#include "platform/UserDefaults.h"
#include "platform/VirtualHidBus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include "rigs/UMockdevHidraw.h"

#include <sys/resource.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <numeric>
#include <optional>
#include <vector>

using namespace flashwell;
using Hotplug = HidApiBackend::Hotplug;

namespace {

constexpr uint16_t kFirstPid = 0x3100;

// The device side: lab models on a virtual bus, each mirrored as an emulated hidraw node.
struct Testbed
{
    QtScheduler clock;
    VirtualHidBus bus{clock};
    lab::UMockdevHidraw hidraw{bus};
    std::vector<std::unique_ptr<lab::VirtualDinputController>> devices;

    lab::VirtualDinputController &add(uint16_t pid)
    {
        devices.push_back(std::make_unique<lab::VirtualDinputController>(bus, pid));
        devices.back()->answersQueries = false;
        return *devices.back();
    }
};

Testbed &testbed()
{
    static Testbed bed;
    return bed;
}

// Exactly `count` background devices on the bus (and so hidraw nodes in the testbed).
void plugBackground(int count)
{
    Testbed &bed = testbed();
    while (static_cast<int>(bed.devices.size()) < count)
        bed.add(static_cast<uint16_t>(kFirstPid + bed.devices.size() + 1));
    for (int i = 0; i < static_cast<int>(bed.devices.size()); ++i) {
        lab::VirtualDinputController &d = *bed.devices[static_cast<std::size_t>(i)];
        if (i < count && !d.device())
            d.plug();
        else if (i >= count && d.device())
            d.unplug();
    }
    QCoreApplication::processEvents();
}

// Runs the event loop, sleeping between events, until `done` holds or `ms` have passed.
void runEventLoopFor(int ms, const std::function<bool()> &done)
{
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    guard.start(ms);
    while (guard.isActive() && !done())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
}

double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3
           + usage.ru_stime.tv_usec / 1e3;
}

// What a poll costs when nothing changed: the hidraw class directory and one link per node.
void BM_HidrawSignature(benchmark::State &state)
{
    plugBackground(static_cast<int>(state.range(0)));
    QCoreApplication::processEvents();
    std::optional<QByteArray> signature;
    for (auto _ : state)
        benchmark::DoNotOptimize(signature = hidrawSignature());
    state.counters["nodes"] = signature ? static_cast<double>(signature->count('\n')) : 0;
}
BENCHMARK(BM_HidrawSignature)->Arg(1)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);

// One enumeration with N hidraw nodes present and nothing changed: the cost of every poll.
void BM_EnumerateHidraw(benchmark::State &state)
{
    plugBackground(static_cast<int>(state.range(0)));
    QCoreApplication::processEvents();
    HidApiBackend backend(1'000'000, nullptr, Hotplug::Poll);
    for (auto _ : state)
        backend.rescan();
    state.counters["nodes"] = static_cast<double>(backend.devices().size());
}
BENCHMARK(BM_EnumerateHidraw)->Arg(1)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);

// The process's CPU share while the backend polls at its production interval with 32 nodes, and
// without a backend for comparison.
void BM_PollingCpuShare(benchmark::State &state)
{
    plugBackground(32);
    std::optional<HidApiBackend> backend;
    if (state.range(0))
        backend.emplace(HidApiBackend::kPollIntervalMs, nullptr, Hotplug::Poll);
    for (auto _ : state) {
        const double cpuBefore = processCpuMs();
        QElapsedTimer wall;
        wall.start();
        runEventLoopFor(5000, [] { return false; });
        state.counters["cpu_share_percent"] = (processCpuMs() - cpuBefore) / static_cast<double>(wall.elapsed()) * 100;
    }
    state.counters["interval_ms"] = HidApiBackend::kPollIntervalMs;
    state.counters["nodes"] = 32;
}
BENCHMARK(BM_PollingCpuShare)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

// To the HID manager's matching callback: with the udev monitor from the device's uevent (the
// bridge sends it as the last step of creating the node, when plug() returns); with polling at the
// production interval from the start of plug(), before the node exists.
void plugToAnnounce(benchmark::State &state, Hotplug hotplug)
{
    plugBackground(8);
    lab::VirtualDinputController probe(testbed().bus, 0x3010);
    probe.answersQueries = false;
    HidApiBackend backend(HidApiBackend::kPollIntervalMs, nullptr, hotplug);
    QtScheduler hostClock;
    HidManager manager(backend, hostClock);
    manager.setDeviceMatchingMultiple({HidMatch{0x3010, 0x2DC8}});
    int matched = 0;
    int removed = 0;
    manager.registerDeviceMatchingCallback([&](HidDevice *) { ++matched; });
    manager.registerDeviceRemovalCallback([&](HidDevice *) { ++removed; });
    manager.open();
    std::vector<double> latencies;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        probe.plug();
        if (hotplug == Hotplug::Udev)
            timer.start();
        runEventLoopFor(5000, [&] { return matched > static_cast<int>(latencies.size()); });
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1e3);
        latencies.push_back(ms);
        probe.unplug();
        runEventLoopFor(5000, [&] { return removed >= matched; });
    }
    if (matched != static_cast<int>(latencies.size()))
        state.SkipWithError("a plugged device was not announced within 5 s");
    state.counters["nodes"] = static_cast<double>(backend.devices().size());
    state.counters["max_ms"] = *std::max_element(latencies.begin(), latencies.end());
    state.counters["mean_ms"] = std::accumulate(latencies.begin(), latencies.end(), 0.0) / latencies.size();
}

void BM_UdevEventToAnnounce(benchmark::State &state)
{
    plugToAnnounce(state, Hotplug::Udev);
}
BENCHMARK(BM_UdevEventToAnnounce)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PollingPlugToAnnounce(benchmark::State &state)
{
    plugToAnnounce(state, Hotplug::Poll);
}
BENCHMARK(BM_PollingPlugToAnnounce)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ApplicationContext context; // dies before the application
    QTemporaryDir dir;
    UserDefaults::useFileForStandard(dir.filePath(QStringLiteral("defaults.ini")));
    testbed(); // before anything asks udev or hidapi about devices
    if (!lab::UMockdevHidraw::inMockEnvironment()) {
        std::fprintf(stderr, "run this benchmark under umockdev-wrapper\n");
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
