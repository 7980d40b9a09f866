#include "platform/PlatformServices.h"

#include "platform/HidApiBackend.h"
#include "platform/QtScheduler.h"

namespace flashwell {

namespace {
PlatformServices &slot()
{
    static PlatformServices services;
    return services;
}
} // namespace

PlatformServices &PlatformServices::shared()
{
    PlatformServices &s = slot();
    if (!s.scheduler) {
        static QtScheduler scheduler;
        s.scheduler = &scheduler;
    }
    if (!s.hid) {
        static HidApiBackend backend;
        s.hid = &backend;
    }
    return s;
}

void PlatformServices::installShared(Scheduler &scheduler, HidBackend &hid)
{
    slot().scheduler = &scheduler;
    slot().hid = &hid;
}

} // namespace flashwell
