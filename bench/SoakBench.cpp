// Endurance: many whole updates in one process through the update workflow on the virtual bus,
// round-robin over every protocol path with a bus fault in every tenth, watching what a slow leak
// would show: resident memory, open file descriptors, live QObjects and the tasks left on the
// update's clock once it has settled.
#include "BenchMain.h"
#include "models/FirmwareFileBuilder.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/ApplicationContext.h"
#include "platform/UserDefaults.h"
#include "platform/VirtualScheduler.h"
#include "runs/LabUpdateRun.h"
#include "server/LabFirmwareServer.h"

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

#include "SoakPaths.h"

using namespace flashwell;
using namespace flashwell::bench;

namespace {

void runSoak(benchmark::State &state, int updates)
{
    QLoggingCategory::setFilterRules(QStringLiteral("flashwell.*=false"));
    QTemporaryDir downloads;
    lab::LabFirmwareServer server;
    const std::vector<test::PathCase> paths = soakPaths();
    if (!serve(server, paths, downloads.path())) {
        state.SkipWithError("the lab server could not listen");
        return;
    }
    SoakTally tally(50, paths.size());
    int faulted = 0;
    for (auto _ : state) {
        for (int i = 0; i < updates; ++i) {
            const std::size_t which = static_cast<std::size_t>(i) % paths.size();
            lab::LabUpdateOptions o = paths[which].options;
            const bool fault = i % 10 == 9;
            if (fault)
                o.faults = {faultFor(faulted++)};
            long pending = 0;
            bool success = false;
            {
                lab::LabUpdateRun run(o);
                const lab::UpdateRunResult r = run.run();
                success = r.success;
                pending = static_cast<long>(run.clock().pendingCount());
            }
            server.clearRequests(); // the lab server's own record of requests is not the product's memory
            tally.add(i, which, success, fault, pending, sample());
        }
    }
    ServerConfig::install(std::nullopt);
    tally.report(state, "after_50");
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
    return bench::runBenchmarks(argc, argv);
}
