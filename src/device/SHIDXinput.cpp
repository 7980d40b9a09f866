#include "device/SHIDXinput.h"

#include "device/UsbIdentities.h"

namespace flashwell {

SHIDXinput::SHIDXinput(PlatformServices services, QObject *parent)
    : SHIDManager(services, parent)
{}

void SHIDXinput::open()
{
    openWithMatching({usb::kXinput});
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
