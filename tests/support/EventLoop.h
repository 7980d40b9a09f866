#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace flashwell::test {

// Runs the event loop until `done` holds or the time-out passes; false on time-out.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Lets the event loop run for a while, to check that nothing (more) happens.
inline void settle(int ms = 300)
{
    waitUntil([] { return false; }, ms);
}

} // namespace flashwell::test
