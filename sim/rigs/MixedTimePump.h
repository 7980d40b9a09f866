#pragma once

#include <cstdint>
#include <functional>

namespace flashwell {
class VirtualScheduler;
} // namespace flashwell

namespace flashwell::lab {

// Turns the Qt event loop (servers on loopback, real sockets) and virtual time (the devices, the
// product's timers) together, for runs and tests that have both. Virtual time runs as fast as its
// tasks allow, except while `paced` holds (a request waits on a server): then it keeps pace with
// the wall clock, so that a download, which takes real time, never looks like a stalled device to
// the product's watchdogs. Where nothing says when a request waits, `maxSpeedup` bounds virtual
// time to that many times the wall clock instead.
class MixedTimePump
{
public:
    explicit MixedTimePump(VirtualScheduler &clock);

    std::function<bool()> paced;
    int maxSpeedup = 0; // 0: unbounded
    // Virtual tasks run between two looks at the event loop.
    int stepsPerTurn = 4000;
    // When no task is waiting, virtual time moves this far on its own (for a caller that waits for
    // a moment of virtual time rather than for a task); 0: it waits for events instead.
    int64_t idleStepMs = 0;

    // Runs both until `done` holds; false when the wall time runs out first.
    bool runUntil(const std::function<bool()> &done, int64_t wallTimeoutMs);

private:
    VirtualScheduler &m_clock;
};

} // namespace flashwell::lab
