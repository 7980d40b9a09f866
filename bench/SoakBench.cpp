// Endurance: many whole updates in one process through the update workflow on the virtual bus,
// round-robin over every protocol path with a bus fault in every tenth, watching what a slow leak
// would show: resident memory, open file descriptors, live QObjects and the tasks left on the
// update's clock once it has settled.
#include "FirmwareFileBuilder.h"
#include "LabFirmwareServer.h"
#include "LabUpdateRun.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/ApplicationContext.h"
#include "platform/UserDefaults.h"
#include "platform/VirtualScheduler.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "SoakProbes.h"
#include "UpdatePathCases.h"

using namespace flashwell;
using namespace flashwell::bench;

namespace {

// The paths of a whole update, and the second-generation update through the D-input switch.
std::vector<test::PathCase> soakPaths()
{
    std::vector<test::PathCase> paths = test::allPaths();
    test::PathCase secondGen = test::switchPath();
    secondGen.name = "second-generation through the D-input switch";
    secondGen.options = test::dinput(0x9026, lab::LabBootloader::SecondGen);
    paths.push_back(secondGen);
    return paths;
}

void runSoak(benchmark::State &state, int updates)
{
    QLoggingCategory::setFilterRules(QStringLiteral("flashwell.*=false"));
    constexpr int kWarmUp = 50;
    QTemporaryDir downloads;
    lab::LabFirmwareServer server;
    SHttp::network().setProxy(QNetworkProxy::NoProxy);
    if (!server.listen()) {
        state.SkipWithError("the lab server could not listen");
        return;
    }
    ServerConfig config;
    config.primary = config.china = config.beta = server.baseUrl();
    config.downloadsRoot = downloads.path();
    ServerConfig::install(config);
    const std::vector<test::PathCase> paths = soakPaths();
    std::vector<int> typesServed;
    for (const test::PathCase &c : paths) {
        if (std::find(typesServed.begin(), typesServed.end(), c.releaseType) != typesServed.end())
            continue; // the two second-generation paths share their release
        typesServed.push_back(c.releaseType);
        server.addRelease(
            test::releaseJson(c.releaseType, c.releaseType, 1.05, QStringLiteral("fw_%1.bin").arg(c.releaseType)),
            c.file);
    }

    Sample warm{};
    Sample last{};
    long maxRss = 0;
    int fdChanges = 0;
    int objectChanges = 0;
    int taskChanges = 0;
    int failures = 0;
    int unexpected = 0;
    int faulted = 0;
    // Tasks left on the clock after a settled update, per path and outcome.
    std::vector<std::array<long, 2>> tasksLeft(paths.size(), {-1, -1});
    for (auto _ : state) {
        for (int i = 0; i < updates; ++i) {
            const std::size_t which = static_cast<std::size_t>(i) % paths.size();
            lab::LabUpdateOptions o = paths[which].options;
            const bool fault = i % 10 == 9;
            if (fault) {
                o.faults = {faultFor(faulted)};
                ++faulted;
            }
            long pending = 0;
            bool success = false;
            {
                lab::LabUpdateRun run(o);
                const lab::UpdateRunResult r = run.run();
                success = r.success;
                pending = static_cast<long>(run.clock().pendingCount());
            }
            server.clearRequests(); // the lab server's own record of requests is not the product's memory
            if (!success)
                ++failures;
            if (!success && !fault)
                ++unexpected;
            const Sample now = sample();
            long &expectedTasks = tasksLeft[which][success ? 1 : 0];
            if (i >= kWarmUp) {
                fdChanges += now.fds != last.fds ? 1 : 0;
                objectChanges += now.objects != last.objects ? 1 : 0;
                taskChanges += expectedTasks >= 0 && pending != expectedTasks ? 1 : 0;
                maxRss = std::max(maxRss, now.rssKiB);
            }
            expectedTasks = pending;
            if (i + 1 == kWarmUp)
                warm = now;
            last = now;
        }
    }
    ServerConfig::install(std::nullopt);
    state.counters["updates"] = updates;
    state.counters["failed"] = failures;
    state.counters["failed_without_fault"] = unexpected;
    state.counters["rss_KiB_after_50"] = static_cast<double>(warm.rssKiB);
    state.counters["rss_KiB_at_end"] = static_cast<double>(last.rssKiB);
    state.counters["rss_growth_KiB"] = static_cast<double>(maxRss - warm.rssKiB);
    state.counters["fds_after_50"] = static_cast<double>(warm.fds);
    state.counters["fds_at_end"] = static_cast<double>(last.fds);
    state.counters["fd_count_changes"] = fdChanges;
    state.counters["qobjects_after_50"] = static_cast<double>(warm.objects);
    state.counters["qobjects_at_end"] = static_cast<double>(last.objects);
    state.counters["qobject_count_changes"] = objectChanges;
    state.counters["clock_task_count_changes"] = taskChanges;
    if (unexpected > 0)
        state.SkipWithError("an update without a fault failed");
}

// The number of updates is the argument: `--benchmark_filter=BM_SoakUpdates/200` for a shorter run.
void BM_SoakUpdates(benchmark::State &state)
{
    runSoak(state, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_SoakUpdates)->Arg(1000)->Arg(200)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    installObjectCounter();
    QCoreApplication app(argc, argv);
    ApplicationContext context;
    QTemporaryDir dir;
    UserDefaults::useFileForStandard(dir.filePath(QStringLiteral("defaults.ini")));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    UserDefaults::useFileForStandard({});
    return 0;
}
