#include "update/BootSwitch.h"

#include "device/SFenwykDevice.h"
#include "device/UsbIdentities.h"

namespace flashwell::boot_switch {

namespace {
// Catalogue and product IDs the rule singles out (device records, not bootloader identities).
constexpr uint16_t kSecondGenPadPid = 0x2000;
constexpr uint16_t kHjzFamilyCataloguePid = 0x23FB;
constexpr uint16_t kNewSwitchCommandPids[] = {0x3100, 0x3104};

constexpr uint8_t kEnterBoot = 0x50;
constexpr uint8_t kEnterBootNew = 0x51;
constexpr uint8_t kSwitchReportId = 0x01;
constexpr uint8_t kSonyReportId = 0x05;
// Firmware above this takes the newer form of the switch report. Compared widened to double, so
// a version stored as 1.30f (just below 1.3) is not above it.
constexpr double kNewSwitchVersion = 1.3;

Decision report(uint8_t reportId, uint8_t command, uint8_t value)
{
    return {Step::SwitchReport, reportId, command, value};
}

bool takesNewSwitchCommand(uint16_t cataloguePid)
{
    for (const uint16_t pid : kNewSwitchCommandPids)
        if (pid == cataloguePid)
            return true;
    return false;
}
} // namespace

Facts Facts::of(SFenwykDevice *device, const std::optional<Firmware> &release, bool bootloaderAttached)
{
    Facts f;
    f.bootloaderAttached = bootloaderAttached;
    if (release) {
        f.releaseType = release->type;
        f.releaseVersion = release->version;
    }
    if (!device)
        return f;
    f.switchable = device->isChangeBoot;
    f.attached = !device->deviceRef.isNull();
    f.pid = device->pid;
    f.vid = device->vid;
    f.version = device->version();
    const SFenwykDataDetailsPtr entry = device->details();
    f.cataloguePid = entry ? entry->pid : 0;
    return f;
}

std::optional<Decision> bootBoot(const Facts &facts)
{
    // A bootloader seen once and gone since (an HJZ device, say) is no way into this update.
    if (!facts.bootloaderAttached)
        return std::nullopt;
    if (facts.cataloguePid == kHjzFamilyCataloguePid)
        return Decision{Step::HjzRead};
    return Decision{Step::QueryBootloader};
}

std::optional<Decision> switchBoot(const Facts &facts)
{
    if (!usb::is(usb::kSwitchPro, facts.pid, facts.vid))
        return std::nullopt;
    if (takesNewSwitchCommand(facts.cataloguePid) && static_cast<double>(facts.version) > kNewSwitchVersion)
        return report(kSwitchReportId, kEnterBootNew, 0x00);
    return report(kSwitchReportId, kEnterBoot, 0x01);
}

std::optional<Decision> macBoot(const Facts &facts)
{
    if (!usb::is(usb::kSony, facts.pid, facts.vid))
        return std::nullopt;
    // The release decides here; the device's own version plays no part.
    const bool newerRelease = facts.releaseType && (*facts.releaseType == 8 || *facts.releaseType == 21)
                              && static_cast<double>(facts.releaseVersion) > kNewSwitchVersion;
    return report(kSonyReportId, kEnterBoot, newerRelease ? 0x00 : 0x01);
}

Decision changeBoot(const Facts &facts)
{
    if (facts.switchable && facts.attached) {
        if (facts.pid == kSecondGenPadPid)
            return {Step::ReadPid};
        if (facts.pid == usb::kHjzBootloader.productId)
            return {Step::HjzRead};
        for (const auto way : {bootBoot, switchBoot, macBoot})
            if (const auto decision = way(facts))
                return *decision;
        return {Step::DinputSwitch};
    }
    return bootBoot(facts).value_or(Decision{Step::Guide});
}

} // namespace flashwell::boot_switch
