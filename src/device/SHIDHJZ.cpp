#include "device/SHIDHJZ.h"

#include "platform/ApplicationContext.h"

namespace flashwell {

SHIDHJZ &SHIDHJZ::sharedInstance()
{
    return ApplicationContext::current().shared<SHIDHJZ>(
        [] { return std::make_unique<SHIDHJZ>(PlatformServices::shared()); });
}

SHIDHJZ::SHIDHJZ(PlatformServices services, QObject *parent)
    : SHIDManager(services, parent)
{}

void SHIDHJZ::open()
{
    openWithMatching({HidMatch{0x2007, 0x2DC8}});
}

void SHIDHJZ::deviceMatched(HidDevice *device)
{
    m_device = device;
    openAndListen(device);
}

void SHIDHJZ::deviceRemoved(HidDevice *device)
{
    Q_UNUSED(device);
    m_device = nullptr;
}

void SHIDHJZ::inputReport(HidDevice *sender, std::span<const uint8_t> report)
{
    // Its reports carry nothing this watcher needs.
    Q_UNUSED(sender);
    Q_UNUSED(report);
}

} // namespace flashwell
