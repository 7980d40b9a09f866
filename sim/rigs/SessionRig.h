#pragma once

#include "models/VirtualDeviceModel.h"
#include "platform/PlatformServices.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <memory>
#include <optional>
#include <vector>

namespace flashwell::lab {

// A virtual clock, a virtual bus on it, and the silent devices plugged into it: what the rigs of
// tests, benchmarks and fuzzers stand on. Members are public so a test fixture can derive from a
// rig and use `clock` and `bus` by name.
class VirtualRig
{
public:
    VirtualRig() = default;
    VirtualRig(const VirtualRig &) = delete;
    VirtualRig &operator=(const VirtualRig &) = delete;

    PlatformServices services() { return PlatformServices{&clock, &bus}; }

    // A device that takes every report and answers none (a bootloader waiting for its session,
    // say), plugged now; the tasks its arrival starts have run when this returns.
    HidDevice *plugSilent(const HidIdentity &identity)
    {
        models.push_back(std::make_unique<SilentDevice>(bus, identity));
        HidDevice *device = models.back()->plug();
        clock.runPending();
        return device;
    }

    VirtualScheduler clock;
    VirtualHidBus bus{clock};
    std::vector<std::unique_ptr<VirtualDeviceModel>> models;
};

// A session or watcher on a rig of its own: the one set-up that tests and benchmarks share.
template <class Session> class SessionRig : public VirtualRig
{
public:
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

    Session session{services()};
};

// A rig kept for many runs, with a session made afresh for each (the fuzzers: one rig per process,
// millions of inputs). reset() ends the last run's session, lets the tasks it left run out (its
// device models have unplugged by then, so they find nothing to do) and forgets what the bus
// recorded: no state of one run reaches the next, and memory stays flat. Nothing here turns the Qt
// event loop.
template <class Session> class FreshSessionRig : public VirtualRig
{
public:
    Session &reset()
    {
        m_session.reset();
        clock.runUntilIdle();
        bus.clearLog();
        return m_session.emplace(services());
    }

private:
    std::optional<Session> m_session;
};

} // namespace flashwell::lab
