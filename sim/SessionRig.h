#pragma once

#include "platform/PlatformServices.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

namespace flashwell::lab {

// A session or watcher on its own virtual clock and virtual bus: the one set-up that tests,
// benchmarks and fuzzers share. Members are public so a test fixture can derive from the rig and
// use `clock`, `bus` and `session` by name.
template <class Session> class SessionRig
{
public:
    SessionRig() = default;
    SessionRig(const SessionRig &) = delete;
    SessionRig &operator=(const SessionRig &) = delete;

    // Adds the session's boot delegate (or sets a watcher's device delegate) and opens the
    // matching, as the application does on start.
    template <class Delegate> void attach(Delegate *delegate)
    {
        if constexpr (requires { session.addBootDelegate(delegate); })
            session.addBootDelegate(delegate);
        else
            session.setDelegate(delegate);
        session.open();
    }

    VirtualScheduler clock;
    VirtualHidBus bus{clock};
    Session session{PlatformServices{&clock, &bus}};
};

} // namespace flashwell::lab
