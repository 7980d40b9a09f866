#include "platform/QtScheduler.h"

#include <QTimer>

#include <algorithm>

namespace flashwell {

QtScheduler::QtScheduler(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
}

QtScheduler::~QtScheduler() = default; // timers are children and die with us

Scheduler::TimerId QtScheduler::after(int64_t ms, Task task, QObject *context)
{
    return start(ms, false, std::move(task), context);
}

Scheduler::TimerId QtScheduler::every(int64_t ms, Task task, QObject *context)
{
    return start(ms, true, std::move(task), context);
}

Scheduler::TimerId QtScheduler::start(int64_t ms, bool repeat, Task task, QObject *context)
{
    const TimerId id = m_nextId++;
    auto *timer = new QTimer(this);
    timer->setSingleShot(!repeat);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(static_cast<int>(std::max<int64_t>(0, ms)));
    connect(timer, &QTimer::timeout, this, [this, id, repeat, task = guarded(std::move(task), context)] {
        if (!repeat)
            cancel(id);
        task();
    });
    m_timers.emplace(id, timer);
    timer->start();
    return id;
}

void QtScheduler::cancel(TimerId id)
{
    auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
}

int64_t QtScheduler::nowMs() const
{
    return m_clock.elapsed();
}

} // namespace flashwell
