#pragma once

#include "platform/Scheduler.h"
#include "platform/SlotPool.h"

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
    // What a task needs besides its place in time; kept in a slot that does not move while the
    // heap is sifted, and reused once its task has run.
    struct Slot
    {
        TimerId id = 0;       // 0 while free
        int64_t interval = 0; // 0 for one-shot
        Task task;
        // The task is skipped once its context is gone (held here rather than in a wrapping task:
        // one allocation less for every task scheduled).
        QPointer<QObject> context;
        bool hasContext = false;
        const char *source = nullptr;
        int64_t delayMs = 0;
    };
    // The heap holds only these small keys, so sifting moves 24 bytes instead of a task.
    struct Key
    {
        int64_t due;
        uint64_t sequence;
        uint32_t slot;
    };
    // Heap order: the top is the earliest due, and among equal times the first scheduled.
    static bool runsAfter(const Key &a, const Key &b)
    {
        return a.due != b.due ? a.due > b.due : a.sequence > b.sequence;
    }
    static const char *sourceOf(const QObject *context);
    TimerId schedule(int64_t delay, int64_t interval, Task task, QObject *context);
    void push(int64_t due, uint32_t slot);
    void release(uint32_t slot);
    bool runNext(int64_t deadline);

    int64_t m_now = 0;
    TimerId m_nextId = 1;
    // A binary heap under runsAfter over stable slots: scheduling and running allocate nothing of
    // their own once the vectors have grown.
    std::vector<Key> m_queue;
    SlotPool<Slot> m_slots;
    uint64_t m_sequence = 0;
    std::function<void(const Wait &)> m_waitObserver;
};

} // namespace flashwell
