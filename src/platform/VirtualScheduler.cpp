#include "platform/VirtualScheduler.h"

#include <algorithm>

namespace flashwell {

const char *VirtualScheduler::sourceOf(const QObject *context)
{
    return context ? context->metaObject()->className() : nullptr;
}

Scheduler::TimerId VirtualScheduler::after(int64_t ms, Task task, QObject *context)
{
    const TimerId id = m_nextId++;
    const int64_t delay = std::max<int64_t>(0, ms);
    m_queue.emplace(std::pair{m_now + delay, m_sequence++},
                    Entry{id, 0, guarded(std::move(task), context), sourceOf(context), delay});
    return id;
}

Scheduler::TimerId VirtualScheduler::every(int64_t ms, Task task, QObject *context)
{
    const TimerId id = m_nextId++;
    const int64_t interval = std::max<int64_t>(1, ms);
    m_queue.emplace(std::pair{m_now + interval, m_sequence++},
                    Entry{id, interval, guarded(std::move(task), context), sourceOf(context), interval});
    return id;
}

void VirtualScheduler::cancel(TimerId id)
{
    auto it = std::find_if(m_queue.begin(), m_queue.end(), [id](const auto &kv) { return kv.second.id == id; });
    if (it != m_queue.end())
        m_queue.erase(it);
}

bool VirtualScheduler::runNext(int64_t deadline)
{
    if (m_queue.empty() || m_queue.begin()->first.first > deadline)
        return false;
    auto node = m_queue.extract(m_queue.begin());
    const int64_t waited = node.key().first - m_now;
    m_now = std::max(m_now, node.key().first);
    Entry entry = std::move(node.mapped());
    if (m_waitObserver && waited > 0)
        m_waitObserver(Wait{entry.source, entry.delayMs, waited});
    if (entry.interval > 0) {
        // Re-arm before running so the task may cancel itself.
        m_queue.emplace(std::pair{m_now + entry.interval, m_sequence++}, entry);
    }
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
