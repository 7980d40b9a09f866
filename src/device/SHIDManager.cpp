#include "device/SHIDManager.h"

#include "device/HidTransport.h"

namespace flashwell {

SHIDManager::SHIDManager(PlatformServices services, QObject *parent)
    : QObject(parent)
    , m_services(services)
{}

SHIDManager::~SHIDManager()
{
    // Devices usually outlive their watchers and sessions: stop matching, then take the shared
    // buffer and the callbacks into `this` back from every device still registered with them.
    if (m_hidManager)
        m_hidManager->close();
    m_hidManager.reset();
    for (const HidDeviceRef &device : std::as_const(m_listening))
        if (device)
            device->unregisterInputReportCallback(this);
}

void SHIDManager::openWithMatching(QList<HidMatch> matching)
{
    if (m_hidManager)
        m_hidManager->close();
    m_hidManager = std::make_unique<HidManager>(*m_services.hid, *m_services.scheduler);
    m_hidManager->setDeviceMatchingMultiple(std::move(matching));
    m_hidManager->open();
    m_hidManager->registerDeviceMatchingCallback([this](HidDevice *d) { deviceMatched(d); });
    m_hidManager->registerDeviceRemovalCallback([this](HidDevice *d) { deviceRemoved(d); });
}

void SHIDManager::inputReport(HidDevice *sender, std::span<const uint8_t> report)
{
    Q_UNUSED(sender);
    Q_UNUSED(report);
}

SFenwykDevicePtr SHIDManager::makeRecord(HidDevice *device)
{
    auto record = std::make_shared<SFenwykDevice>();
    const transport::Identity id = transport::identityOf(device);
    record->pid = id.productId;
    record->vid = id.vendorId;
    const QVariant product = device->property(kHidProductKey);
    if (product.isValid())
        record->deviceName = product.toString();
    record->deviceRef = device;
    return record;
}

void SHIDManager::openAndListen(HidDevice *device)
{
    device->open();
    device->registerInputReportCallback(
        gpReportBufB.data(), reportSizeIn,
        [this](HidDevice *sender, std::span<const uint8_t> report) { inputReport(sender, report); }, this);
    m_listening.removeAll(HidDeviceRef());
    if (!m_listening.contains(HidDeviceRef(device)))
        m_listening.append(device);
}

bool SHIDManager::isListeningTo(const HidDevice *device) const
{
    return device && m_listening.contains(HidDeviceRef(const_cast<HidDevice *>(device)));
}

SFenwykDevicePtr SHIDManager::recordForRef(const HidDevice *device) const
{
    if (!device)
        return nullptr;
    for (auto it = m_devices.crbegin(); it != m_devices.crend(); ++it) {
        if ((*it)->deviceRef.data() == device)
            return *it;
    }
    return nullptr;
}

} // namespace flashwell
