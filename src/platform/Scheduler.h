#pragma once

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>

namespace flashwell {

// All timing in the product goes through a Scheduler: production runs on the Qt event loop,
// tests on virtual time that they advance by hand.
class Scheduler
{
public:
    using TimerId = uint64_t;
    using Task = std::function<void()>;

    virtual ~Scheduler() = default;

    // Runs `task` once after `ms` milliseconds. When `context` is given and has been destroyed
    // by then, the task is skipped.
    virtual TimerId after(int64_t ms, Task task, QObject *context = nullptr) = 0;
    // Runs `task` every `ms` milliseconds until cancelled.
    virtual TimerId every(int64_t ms, Task task, QObject *context = nullptr) = 0;
    virtual void cancel(TimerId id) = 0;
    // Milliseconds on this scheduler's clock (monotonic).
    virtual int64_t nowMs() const = 0;

protected:
    // Wraps a task so that it does nothing once its context object is gone.
    static Task guarded(Task task, QObject *context)
    {
        if (!context)
            return task;
        return [task = std::move(task), guard = QPointer<QObject>(context)] {
            if (guard)
                task();
        };
    }
};

} // namespace flashwell
