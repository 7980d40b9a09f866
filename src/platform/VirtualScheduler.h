#pragma once

#include "platform/Scheduler.h"

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace flashwell {

// Virtual time: nothing happens until the owner advances the clock. Tasks due at the same
// instant run in the order they were scheduled, so runs are deterministic.
class VirtualScheduler final : public Scheduler
{
public:
    TimerId after(int64_t ms, Task task, QObject *context = nullptr) override;
    TimerId every(int64_t ms, Task task, QObject *context = nullptr) override;
    void cancel(TimerId id) override;
    int64_t nowMs() const override { return m_now; }

    // Runs everything due within the next `ms` milliseconds, moving the clock as it goes.
    void advance(int64_t ms);
    // Runs tasks until none is due within `limitMs` from now; returns true if the queue
    // emptied (a repeating timer keeps it from ever emptying).
    bool runUntilIdle(int64_t limitMs = 60'000);
    // Runs only the tasks due now (zero delay), as one turn of an event loop would.
    void runPending() { advance(0); }
    // Runs the next task, whenever it is due; false when there is none.
    bool step() { return runNext(INT64_MAX); }
    std::size_t pendingCount() const { return m_queue.size(); }

    // A task that moved the clock forward, for breakdowns of where virtual time goes: the class
    // of the object it was scheduled for (null without one), the delay it asked for and how far
    // the clock jumped to run it.
    struct Wait
    {
        const char *source;
        int64_t delayMs;
        int64_t waitedMs;
    };
    void setWaitObserver(std::function<void(const Wait &)> observer) { m_waitObserver = std::move(observer); }

private:
    struct Entry
    {
        int64_t due;
        uint64_t sequence;
        TimerId id;
        int64_t interval; // 0 for one-shot
        Task task;
        // The task is skipped once its context is gone (held here rather than in a wrapping task:
        // one allocation less for every task scheduled).
        QPointer<QObject> context;
        bool hasContext = false;
        const char *source = nullptr;
        int64_t delayMs = 0;
    };
    // Heap order: the top is the earliest due, and among equal times the first scheduled.
    static bool runsAfter(const Entry &a, const Entry &b)
    {
        return a.due != b.due ? a.due > b.due : a.sequence > b.sequence;
    }
    static const char *sourceOf(const QObject *context);
    TimerId schedule(int64_t delay, int64_t interval, Task task, QObject *context);
    bool runNext(int64_t deadline);

    int64_t m_now = 0;
    TimerId m_nextId = 1;
    // A binary heap under runsAfter: scheduling and running cost no allocation of their own.
    std::vector<Entry> m_queue;
    uint64_t m_sequence = 0;
    std::function<void(const Wait &)> m_waitObserver;
};

} // namespace flashwell
