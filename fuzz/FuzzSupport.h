#pragma once

#include "platform/PlatformServices.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <optional>

namespace flashwell::fuzz {

// Once per fuzzer process: the application object the sessions expect, and quiet logging
// (failures are what we feed them).
inline void initialise(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    QLoggingCategory::setFilterRules(QStringLiteral("flashwell.*=false"));
}

// A clock and a bus built once per fuzzer process, and a session on them made afresh for each
// input. reset() ends the last input's session, lets the tasks it left run out (its device models
// have unplugged by then, so they find nothing to do) and forgets what the bus recorded: no state
// of one input reaches the next, and memory stays flat over millions of inputs. Nothing here
// turns the Qt event loop.
template <class Session> class FuzzRig
{
public:
    Session &reset()
    {
        m_session.reset();
        clock.runUntilIdle();
        bus.clearLog();
        return m_session.emplace(PlatformServices{&clock, &bus});
    }

    VirtualScheduler clock;
    VirtualHidBus bus{clock};

private:
    std::optional<Session> m_session;
};

// One rig per session type for the whole process (never destroyed: libFuzzer exits from inside
// a run, and the devices of the last input may still hold a reference to the bus).
template <class Session> FuzzRig<Session> &rig()
{
    static auto *instance = new FuzzRig<Session>;
    return *instance;
}

} // namespace flashwell::fuzz
