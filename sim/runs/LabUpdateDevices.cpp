#include "runs/LabUpdateDevices.h"

#include "device/UsbIdentities.h"
#include "models/VirtualBootloader.h"
#include "models/VirtualDinputController.h"
#include "models/VirtualVendorModeController.h"
#include "platform/Scheduler.h"
#include "runs/BootloaderFactory.h"

#include <utility>

namespace flashwell::lab {

namespace {
// How long the lab's "user" takes to re-plug a device shown the guide.
constexpr int64_t kUserUnplugMs = 1500;
constexpr int64_t kUserReplugMs = 500;
} // namespace

LabUpdateDevices::LabUpdateDevices(VirtualHidBus &bus, LabUpdateOptions options)
    : m_bus(bus)
    , m_options(std::move(options))
{
    setUpBootloader();
    setUpNormalDevice();
}

LabUpdateDevices::~LabUpdateDevices() = default;

HidIdentity LabUpdateDevices::bootIdentity() const
{
    return {m_boot->identity().vendorId, m_boot->identity().productId, QStringLiteral("Fenwyk Bootloader")};
}

void LabUpdateDevices::setUpBootloader()
{
    // The update downloads its file; a second-generation bootloader reports the device's own
    // product ID unless told otherwise.
    LabFlashOptions b = m_options.boot;
    b.file.clear();
    if (!m_options.reportedPidGiven)
        b.reportedPid = m_options.pid;
    m_boot = makeBootloader(
        m_bus, b,
        {HidIdentity{usb::kVendorId, m_options.pid, QStringLiteral("Fenwyk Controller")}, m_options.versionHundredths});
}

void LabUpdateDevices::setUpNormalDevice()
{
    switch (m_options.identity) {
    case LabUpdateOptions::Identity::Dinput: {
        auto device = std::make_unique<VirtualDinputController>(m_bus, m_options.pid);
        device->versionHundredths = m_options.versionHundredths;
        device->beta = m_options.beta;
        m_normal = std::move(device);
        break;
    }
    case LabUpdateOptions::Identity::Switch:
    case LabUpdateOptions::Identity::Sony: {
        auto device = std::make_unique<VirtualVendorModeController>(
            m_bus,
            m_options.identity == LabUpdateOptions::Identity::Switch ? VirtualVendorModeController::Identity::Switch
                                                                     : VirtualVendorModeController::Identity::Sony,
            m_options.pid);
        device->versionHundredths = m_options.versionHundredths;
        device->beta = m_options.beta;
        m_normal = std::move(device);
        break;
    }
    }
    if (!m_options.bootloaderAttached)
        m_normal->setBootTarget(bootIdentity(), m_boot.get());
}

void LabUpdateDevices::plug()
{
    if (m_options.bootloaderAttached)
        m_boot->plug();
    m_normal->plug();
}

void LabUpdateDevices::replugAsUser(Scheduler &scheduler)
{
    scheduler.after(kUserUnplugMs, [this, &scheduler] {
        m_normal->unplug();
        scheduler.after(kUserReplugMs, [this] { m_boot->plug(); });
    });
}

} // namespace flashwell::lab
