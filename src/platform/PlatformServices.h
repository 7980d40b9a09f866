#pragma once

namespace flashwell {

class HidBackend;
class Scheduler;

// The services a session or watcher runs on. Production code reaches them through `shared()`,
// which the ApplicationContext owns (the Qt scheduler and the hidapi backend, created on first
// use); the lab and the demo install the virtual ones first; tests hand their own instances to
// constructors instead.
struct PlatformServices
{
    Scheduler *scheduler = nullptr;
    HidBackend *hid = nullptr;

    // Needs a live ApplicationContext.
    static PlatformServices shared();
    // Must be called before anything reads `shared()`; the objects must outlive their users.
    static void installShared(Scheduler &scheduler, HidBackend &hid);
};

} // namespace flashwell
