#include "platform/VirtualScheduler.h"

#include <algorithm>

namespace flashwell {

const char *VirtualScheduler::sourceOf(const QObject *context)
{
    return context ? context->metaObject()->className() : nullptr;
}

Scheduler::TimerId VirtualScheduler::schedule(int64_t delay, int64_t interval, Task task, QObject *context)
{
    const TimerId id = m_nextId++;
    Entry &entry = m_queue.emplace_back();
    entry.due = m_now + delay;
    entry.sequence = m_sequence++;
    entry.id = id;
    entry.interval = interval;
    entry.task = std::move(task);
    entry.context = context;
    entry.hasContext = context != nullptr;
    entry.source = sourceOf(context);
    entry.delayMs = delay;
    std::push_heap(m_queue.begin(), m_queue.end(), runsAfter);
    return id;
}

Scheduler::TimerId VirtualScheduler::after(int64_t ms, Task task, QObject *context)
{
    return schedule(std::max<int64_t>(0, ms), 0, std::move(task), context);
}

Scheduler::TimerId VirtualScheduler::every(int64_t ms, Task task, QObject *context)
{
    const int64_t interval = std::max<int64_t>(1, ms);
    return schedule(interval, interval, std::move(task), context);
}

void VirtualScheduler::cancel(TimerId id)
{
    auto it = std::find_if(m_queue.begin(), m_queue.end(), [id](const Entry &e) { return e.id == id; });
    if (it == m_queue.end())
        return;
    // Rare (a watchdog, an animation): the heap is simply rebuilt.
    *it = std::move(m_queue.back());
    m_queue.pop_back();
    std::make_heap(m_queue.begin(), m_queue.end(), runsAfter);
}

bool VirtualScheduler::runNext(int64_t deadline)
{
    if (m_queue.empty() || m_queue.front().due > deadline)
        return false;
    std::pop_heap(m_queue.begin(), m_queue.end(), runsAfter);
    Entry entry = std::move(m_queue.back());
    m_queue.pop_back();
    const int64_t waited = entry.due - m_now;
    m_now = std::max(m_now, entry.due);
    if (m_waitObserver && waited > 0)
        m_waitObserver(Wait{entry.source, entry.delayMs, waited});
    if (entry.interval > 0) {
        // Re-arm before running so the task may cancel itself.
        Entry again = entry;
        again.due = m_now + entry.interval;
        again.sequence = m_sequence++;
        m_queue.push_back(std::move(again));
        std::push_heap(m_queue.begin(), m_queue.end(), runsAfter);
    }
    if (!entry.hasContext || entry.context)
        entry.task();
    return true;
}

void VirtualScheduler::advance(int64_t ms)
{
    const int64_t deadline = m_now + std::max<int64_t>(0, ms);
    while (runNext(deadline)) {
    }
    m_now = deadline;
}

bool VirtualScheduler::runUntilIdle(int64_t limitMs)
{
    const int64_t deadline = m_now + limitMs;
    while (runNext(deadline)) {
    }
    return m_queue.empty();
}

} // namespace flashwell
