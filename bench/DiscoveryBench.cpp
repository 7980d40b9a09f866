#include "BenchMain.h"
#include "device/SHIDDinput.h"
#include "models/VirtualDinputController.h"
#include "platform/ApplicationContext.h"
#include "platform/UserDefaults.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace flashwell;

namespace {

class CountingDelegate final : public QObject, public DeviceDelegate
{
public:
    void addSFenwykDevice(const SFenwykDevicePtr &) override { ++added; }
    void removeSFenwykDevice(const SFenwykDevicePtr &) override {}
    int added = 0;
};

// Host time from a D-input controller's arrival to its first announcement: matching, record,
// open, the query reports, the reply through the bus, layout parsing and the catalogue lookup.
void BM_DinputArrivalToAnnounce(benchmark::State &state)
{
    VirtualScheduler clock;
    VirtualHidBus bus(clock);
    CountingDelegate delegate;
    SHIDDinput watcher({&clock, &bus});
    watcher.setDelegate(&delegate);
    watcher.open();
    lab::VirtualDinputController crane(bus, 0x3100);
    crane.versionHundredths = 125;
    for (auto _ : state) {
        const int before = delegate.added;
        crane.plug();
        while (delegate.added == before)
            clock.advance(1);
        state.PauseTiming();
        crane.unplug();
        clock.runUntilIdle();
        bus.clearLog();
        state.ResumeTiming();
    }
    state.counters["announces"] = delegate.added;
}
BENCHMARK(BM_DinputArrivalToAnnounce)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ApplicationContext context;
    return bench::runBenchmarks(argc, argv);
}
