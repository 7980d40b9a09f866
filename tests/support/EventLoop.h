#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace flashwell::test {

// Runs the event loop until `done` holds or the time-out passes; false on time-out. Between looks
// it sleeps in the event loop (a few milliseconds at most) rather than spinning.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QEventLoop idle;
        QTimer::singleShot(2, &idle, &QEventLoop::quit);
        idle.exec();
    }
    return true;
}

} // namespace flashwell::test
