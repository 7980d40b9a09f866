#include "device/SHIDXinput.h"

namespace flashwell {

SHIDXinput::SHIDXinput(PlatformServices services, QObject *parent)
    : SHIDManager(services, parent)
{}

void SHIDXinput::open()
{
    openWithMatching({HidMatch{0x028E, 0x045E}});
}

void SHIDXinput::deviceMatched(HidDevice *device)
{
    m_devices.append(makeRecord(device));
}

void SHIDXinput::deviceRemoved(HidDevice *device)
{
    Q_UNUSED(device); // records are kept
}

} // namespace flashwell
