#include "device/SHIDManager.h"

#include "device/HidTransport.h"

namespace flashwell {

SHIDManager::SHIDManager(PlatformServices services, QObject *parent)
    : QObject(parent)
    , m_services(services)
{}

SHIDManager::~SHIDManager() = default;

void SHIDManager::openWithMatching(QList<HidMatch> matching)
{
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
        [this](HidDevice *sender, std::span<const uint8_t> report) { inputReport(sender, report); });
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
