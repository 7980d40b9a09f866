#include "VirtualVendorModeController.h"

namespace flashwell::lab {

namespace {
HidIdentity identityFor(VirtualVendorModeController::Identity identity)
{
    if (identity == VirtualVendorModeController::Identity::Switch)
        return {0x057E, 0x2009, QStringLiteral("Pro Controller")};
    return {0x054C, 0x05C4, QStringLiteral("Wireless Controller")};
}
} // namespace

VirtualVendorModeController::VirtualVendorModeController(VirtualHidBus &bus, Identity identity, uint16_t pid)
    : VirtualDeviceModel(bus, identityFor(identity))
    , ownPid(pid)
    , m_reportId(identity == Identity::Switch ? 0x01 : 0x05)
    , m_dinputIdentity{0x2DC8, pid, QStringLiteral("Fenwyk Controller")}
{}

void VirtualVendorModeController::setDinputTarget(HidIdentity identity, VirtualDeviceModel *model)
{
    m_dinputIdentity = std::move(identity);
    m_dinputModel = model;
}

HidReport VirtualVendorModeController::vendorReply() const
{
    HidReport r{};
    r[0] = m_reportId;
    r[1] = 0x66;
    r[3] = static_cast<uint8_t>(ownPid >> 8);
    r[4] = static_cast<uint8_t>(ownPid & 0xFF);
    wire::putLe16(r, 6, versionHundredths);
    wire::putLe16(r, 8, beta);
    if (ownPid == 0x6000 || ownPid == 0x6001 || ownPid == 0x6002)
        wire::putLe16(r, 10, bootVersion);
    else
        r[10] = canSwitch;
    return r;
}

void VirtualVendorModeController::handleReport(std::span<const uint8_t> report)
{
    if (m_left || report.size() < 6 || report[1] != 0x66 || report[2] != 0xAA)
        return;
    const uint8_t command = report[4];
    const uint8_t value = report[5];
    if (command == 0x21) {
        reply(vendorReply());
    } else if (command == 0x51 && value == 0x01) {
        m_left = true;
        reenumerate(m_dinputIdentity, m_dinputModel);
    } else if (command == 0x50 || command == 0x51) {
        m_left = true;
        switchToBootloader();
    }
}

} // namespace flashwell::lab
