#include "platform/PlatformServices.h"

#include "platform/ApplicationContext.h"

namespace flashwell {

PlatformServices PlatformServices::shared()
{
    return ApplicationContext::current().services();
}

void PlatformServices::installShared(Scheduler &scheduler, HidBackend &hid)
{
    ApplicationContext::current().installServices(scheduler, hid);
}

} // namespace flashwell
