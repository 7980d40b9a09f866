#pragma once

#include "platform/Scheduler.h"

#include <QElapsedTimer>
#include <QObject>

#include <unordered_map>

class QTimer;

namespace flashwell {

// Scheduler on the Qt event loop of the thread it lives in (the UI thread).
class QtScheduler final : public QObject, public Scheduler
{
    Q_OBJECT
public:
    explicit QtScheduler(QObject *parent = nullptr);
    ~QtScheduler() override;

    TimerId after(int64_t ms, Task task, QObject *context = nullptr) override;
    TimerId every(int64_t ms, Task task, QObject *context = nullptr) override;
    void cancel(TimerId id) override;
    int64_t nowMs() const override;

private:
    TimerId start(int64_t ms, bool repeat, Task task, QObject *context);

    QElapsedTimer m_clock;
    TimerId m_nextId = 1;
    std::unordered_map<TimerId, QTimer *> m_timers;
};

} // namespace flashwell
