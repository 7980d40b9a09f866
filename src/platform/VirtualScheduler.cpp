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
    const uint32_t index = m_slots.acquire();
    Slot &slot = m_slots[index];
    slot.id = id;
    slot.interval = interval;
    slot.task = std::move(task);
    slot.context = context;
    slot.hasContext = context != nullptr;
    slot.source = sourceOf(context);
    slot.delayMs = delay;
    push(m_now + delay, index);
    return id;
}

void VirtualScheduler::push(int64_t due, uint32_t slot)
{
    m_queue.push_back(Key{due, m_sequence++, slot});
    std::push_heap(m_queue.begin(), m_queue.end(), runsAfter);
}

void VirtualScheduler::release(uint32_t index)
{
    Slot &slot = m_slots[index];
    slot.id = 0;
    slot.task = nullptr;
    slot.context = nullptr;
    m_slots.release(index);
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
    auto it = std::find_if(m_queue.begin(), m_queue.end(), [&](const Key &k) { return m_slots[k.slot].id == id; });
    if (it == m_queue.end())
        return;
    // Rare (a watchdog, an animation): the heap is simply rebuilt.
    release(it->slot);
    *it = m_queue.back();
    m_queue.pop_back();
    std::make_heap(m_queue.begin(), m_queue.end(), runsAfter);
}

bool VirtualScheduler::runNext(int64_t deadline)
{
    if (m_queue.empty() || m_queue.front().due > deadline)
        return false;
    std::pop_heap(m_queue.begin(), m_queue.end(), runsAfter);
    const Key key = m_queue.back();
    m_queue.pop_back();
    Slot &slot = m_slots[key.slot];
    const TimerId id = slot.id;
    const int64_t waited = key.due - m_now;
    m_now = std::max(m_now, key.due);
    if (m_waitObserver && waited > 0)
        m_waitObserver(Wait{slot.source, slot.delayMs, waited});
    const bool live = !slot.hasContext || slot.context;
    // The task runs from a local: it may schedule (growing m_slots) or cancel itself.
    Task task = std::move(slot.task);
    if (slot.interval > 0) {
        // Re-arm before running so the task may cancel itself.
        push(m_now + slot.interval, key.slot);
        // Empty only when a tick falls due inside this task's own run (it advanced the clock):
        // that tick is skipped rather than run re-entrantly.
        if (live && task)
            task();
        Slot &again = m_slots[key.slot];
        if (again.id == id)
            again.task = std::move(task);
    } else {
        release(key.slot);
        if (live)
            task();
    }
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
