#include "rigs/MixedTimePump.h"

#include "platform/VirtualScheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace flashwell::lab {

namespace {

// A short sleep inside the event loop, rather than a spin, while nothing is due.
void waitForEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// With a bound on its speed, virtual time moves in steps this long (and may lead by one).
constexpr int64_t kBoundedStepMs = 20;

} // namespace

MixedTimePump::MixedTimePump(VirtualScheduler &clock)
    : m_clock(clock)
{}

bool MixedTimePump::runUntil(const std::function<bool()> &done, int64_t wallTimeoutMs)
{
    QElapsedTimer wall;
    wall.start();
    const int64_t virtualStart = m_clock.nowMs();
    qint64 last = 0;
    while (!done()) {
        QCoreApplication::processEvents();
        if (done())
            return true;
        const qint64 now = wall.elapsed();
        if (now > wallTimeoutMs)
            return false;
        if (paced && paced()) {
            m_clock.advance(now - last);
            waitForEvents(2);
        } else if (maxSpeedup > 0) {
            const int64_t due = virtualStart + maxSpeedup * now + kBoundedStepMs;
            if (m_clock.nowMs() < due)
                m_clock.advance(std::min(kBoundedStepMs, due - m_clock.nowMs()));
            else
                waitForEvents(2);
        } else {
            int steps = 0;
            while (steps < stepsPerTurn && !done() && !(paced && paced()) && m_clock.step())
                ++steps;
            if (steps == 0 && idleStepMs > 0)
                m_clock.advance(idleStepMs);
            else if (steps == 0)
                waitForEvents(2);
        }
        last = now;
    }
    return true;
}

} // namespace flashwell::lab
