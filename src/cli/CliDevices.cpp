#include "cli/CliDevices.h"

#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "device/HidTransport.h"
#include "device/SHIDDinput.h"
#include "device/SHIDSwitchAndMac.h"
#include "update/UpdateHost.h"

#include <algorithm>

namespace flashwell::cli {

QString deviceName(const SFenwykDevicePtr &device)
{
    const SFenwykDataDetailsPtr entry = device->details();
    const QString name = entry ? entry->name() : QString();
    return name.isEmpty() ? device->deviceName : name;
}

CliDevices::CliDevices(UpdateHost &host, const UpdateServices &services)
    : m_host(host)
    , m_services(services)
{
    m_host.setDeviceDelegate(this);
}

CliDevices::~CliDevices()
{
    m_host.setDeviceDelegate(nullptr);
}

void CliDevices::addSFenwykDevice(const SFenwykDevicePtr &device)
{
    if (device && !m_announced.contains(device))
        m_announced.append(device);
}

void CliDevices::removeSFenwykDevice(const SFenwykDevicePtr &device)
{
    m_announced.removeAll(device);
}

bool CliDevices::identifying() const
{
    for (const SHIDManager *watcher : {static_cast<const SHIDManager *>(&m_host.dinput()),
                                       static_cast<const SHIDManager *>(&m_host.switchAndMac())}) {
        for (const SFenwykDevicePtr &d : watcher->devices()) {
            if (d->deviceRef && !m_announced.contains(d))
                return true;
        }
    }
    return false;
}

QList<Found> CliDevices::found() const
{
    QList<Found> list;
    for (const SFenwykDevicePtr &d : std::as_const(m_announced)) {
        if (d->deviceRef)
            list.append({d, {}, d->vid, d->pid, deviceName(d)});
    }
    QList<HidDevice *> boots;
    for (const SFenwykDevicePtr &d : m_host.controller().shidBoot().devices()) {
        if (d->deviceRef)
            boots.append(d->deviceRef.data());
    }
    if (m_services.vela2 && m_services.vela2->device())
        boots.append(m_services.vela2->device());
    if (m_services.hjz && m_services.hjz->device())
        boots.append(m_services.hjz->device());
    for (HidDevice *h : boots) {
        if (std::any_of(list.begin(), list.end(), [h](const Found &f) { return f.boot.data() == h; }))
            continue;
        const transport::Identity id = transport::identityOf(h);
        list.append({nullptr, h, id.vendorId, id.productId, h->property(kHidProductKey).toString()});
    }
    return list;
}

} // namespace flashwell::cli
