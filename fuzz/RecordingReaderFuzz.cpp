// The recording reader: arbitrary bytes as a recording. What it accepts must hold the promises
// the replay relies on (times in order, reports numbered in order, answers only to reports sent,
// devices used only while attached), and its devices must play out on the bus without a crash.
#include "FuzzSupport.h"
#include "models/ReplayDevices.h"
#include "platform/Bytes.h"
#include "platform/RecordingReader.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <QSet>

#include <cstdlib>

using namespace flashwell;

namespace {
void check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::initialise(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString error;
    const std::optional<Recording> r = RecordingReader::parse(byteArrayOf({data, size}), &error);
    if (!r) {
        check(!error.isEmpty());
        return 0;
    }
    int64_t t = 0;
    int reports = 0;
    QSet<QString> attached;
    for (const RecordingEvent &e : r->events) {
        check(e.t >= t);
        t = e.t;
        switch (e.kind) {
        case RecordingEvent::Kind::Arrived:
            check(!attached.contains(e.handle));
            attached.insert(e.handle);
            break;
        case RecordingEvent::Kind::Left:
            check(attached.remove(e.handle));
            break;
        case RecordingEvent::Kind::Output:
            check(attached.contains(e.handle) && e.report == ++reports && !e.bytes.isEmpty());
            break;
        case RecordingEvent::Kind::Input:
            check(attached.contains(e.handle) && e.after <= reports && !e.bytes.isEmpty());
            break;
        default:
            break;
        }
    }
    check(reports == r->outputReports);

    // Play the device side with nobody listening: arrivals, answers and departures on the bus.
    VirtualScheduler clock;
    VirtualHidBus bus(clock);
    {
        lab::ReplayDevices devices(*r, bus);
        devices.start();
        clock.runUntilIdle(1'000'000);
    }
    check(bus.devices().isEmpty());
    return 0;
}
