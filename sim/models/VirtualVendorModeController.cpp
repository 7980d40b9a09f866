#include "models/VirtualVendorModeController.h"

#include "device/ProductRules.h"
#include "device/UsbIdentities.h"
#include "device/WatcherFrames.h"

namespace flashwell::lab {

namespace {
HidIdentity identityFor(VirtualVendorModeController::Identity identity)
{
    if (identity == VirtualVendorModeController::Identity::Switch)
        return {usb::kSwitchPro.vendorId, usb::kSwitchPro.productId, QStringLiteral("Pro Controller")};
    return {usb::kSony.vendorId, usb::kSony.productId, QStringLiteral("Wireless Controller")};
}
} // namespace

VirtualVendorModeController::VirtualVendorModeController(VirtualHidBus &bus, Identity identity, uint16_t pid)
    : VirtualDeviceModel(bus, identityFor(identity))
    , ownPid(pid)
    , m_reportId(identity == Identity::Switch ? 0x01 : 0x05)
    , m_dinputIdentity{usb::kVendorId, pid, QStringLiteral("Fenwyk Controller")}
{}

void VirtualVendorModeController::setDinputTarget(HidIdentity identity, VirtualDeviceModel *model)
{
    m_dinputIdentity = std::move(identity);
    m_dinputModel = model;
}

HidReport VirtualVendorModeController::vendorReply() const
{
    const uint16_t field10 = products::reportsBootVersion(ownPid) ? bootVersion : canSwitch;
    return frames::buildVendorReply({m_reportId, ownPid, versionHundredths, beta, field10});
}

void VirtualVendorModeController::handleReport(std::span<const uint8_t> report)
{
    constexpr uint8_t kVersionQuery = 0x21, kEnterBoot = 0x50, kLeaveMode = 0x51;
    const auto command = frames::parseVendorCommand(report);
    if (m_left || !command)
        return;
    if (command->command == kVersionQuery) {
        reply(vendorReply());
    } else if (command->command == kLeaveMode && command->value == 0x01) {
        m_left = true;
        reenumerate(m_dinputIdentity, m_dinputModel);
    } else if (command->command == kEnterBoot || command->command == kLeaveMode) {
        m_left = true;
        switchToBootloader();
    }
}

} // namespace flashwell::lab
