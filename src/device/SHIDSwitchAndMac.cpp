#include "device/SHIDSwitchAndMac.h"

#include "device/HidTransport.h"
#include "device/ProductRules.h"
#include "device/SFenwykDeviceDetailsTools.h"
#include "device/UsbIdentities.h"
#include "device/WatcherFrames.h"

#include <algorithm>

namespace flashwell {

namespace {
constexpr uint8_t kVersionQuery = 0x21;
constexpr uint8_t kEnterBoot = 0x50;
constexpr uint8_t kBackToDinput = 0x51;

constexpr HidReport kStopChangeMode = {
    0x01, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x04, 0x87, 0xf7, 0xdb, 0x35,
    0x00, 0x00, 0x00, 0x88, 0x2b, 0x08, 0xdc, 0x35, 0x00, 0x00, 0x00, 0xe8, 0x35, 0x16, 0xdc, 0x35,
    0x00, 0x00, 0x00, 0x10, 0xdb, 0xbf, 0xd2, 0x6d, 0x00, 0x00, 0x00, 0xc8, 0x12, 0xf2, 0xdb, 0x35,
};

uint8_t reportIdFor(const transport::Identity &id)
{
    if (usb::is(usb::kSwitchPro, id.productId, id.vendorId))
        return 0x01;
    if (usb::is(usb::kSony, id.productId, id.vendorId))
        return 0x05;
    return 0x00;
}

// The last catalogue entry with this pid, or a new empty one.
SFenwykDataDetailsPtr entryForReportedPid(uint16_t pid)
{
    const auto &catalogue = SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs();
    const auto found = std::find_if(catalogue.crbegin(), catalogue.crend(),
                                    [pid](const SFenwykDataDetailsPtr &e) { return e->pid == pid; });
    return found == catalogue.crend() ? std::make_shared<SFenwykDataDetails>() : *found;
}
} // namespace

SHIDSwitchAndMac::SHIDSwitchAndMac(PlatformServices services, QObject *parent)
    : SHIDManager(services, parent)
{}

void SHIDSwitchAndMac::open()
{
    openWithMatching(usb::matching(usb::kVendorModeIdentities));
}

void SHIDSwitchAndMac::boot(HidDevice *device)
{
    if (!device)
        return;
    transport::Updatep(device, transport::kGuard, kEnterBoot, 0x05);
}

void SHIDSwitchAndMac::changeDinput(HidDevice *device)
{
    const HidReport r = frames::buildVendorCommand({0x01, kBackToDinput, 0x01});
    for (int i = 0; i < 2; ++i)
        transport::chk_iohiddev(device, r.data(), r.size());
}

void SHIDSwitchAndMac::stopChangeMode(HidDevice *device)
{
    transport::chk_iohiddev(device, kStopChangeMode.data(), kStopChangeMode.size());
}

void SHIDSwitchAndMac::deviceMatched(HidDevice *device)
{
    m_devices.append(makeRecord(device));
    openAndListen(device);
    stopChangeMode(device);
    const uint8_t reportId = reportIdFor(transport::identityOf(device));
    for (int i = 0; i < 3; ++i)
        transport::Updatep(device, transport::kGuard, kVersionQuery, reportId);
}

void SHIDSwitchAndMac::deviceRemoved(HidDevice *device)
{
    removeFenwykDeviceRefreshUI(device);
    if (const SFenwykDevicePtr record = getDeviceWithRef(device))
        record->deviceRef = nullptr; // the record stays
}

void SHIDSwitchAndMac::inputReport(HidDevice *sender, std::span<const uint8_t> report)
{
    const auto reply = frames::parseVendorReply(report);
    if (!reply)
        return;

    const SFenwykDataDetailsPtr entry = entryForReportedPid(reply->pid);
    const SFenwykDevicePtr record = getDeviceWithRef(sender);
    if (!record)
        return;
    record->setDetails(entry);
    record->setVersion(static_cast<float>(reply->versionHundredths) / 100.0f);
    record->beta = reply->beta;

    if (products::returnsToDinput(entry->pid)) {
        record->isChangeBoot = true;
        changeDinput(sender);
        record->deviceRef = nullptr; // it comes back in D-input mode and is announced there
        return;
    }
    if (products::reportsSwitchFlagInVendorReply(entry->pid))
        record->isChangeBoot = (reply->field10 & 0xFF) != 0;
    if (products::reportsBootVersion(entry->pid))
        record->bootVersion = reply->field10;
    addSFenwykDeviceRefreshUI(sender);
}

void SHIDSwitchAndMac::addSFenwykDeviceRefreshUI(HidDevice *device)
{
    tellDelegate(&DeviceDelegate::addSFenwykDevice, getDeviceWithRef(device));
}

void SHIDSwitchAndMac::removeFenwykDeviceRefreshUI(HidDevice *device)
{
    tellDelegate(&DeviceDelegate::removeSFenwykDevice, getDeviceWithRef(device));
}

} // namespace flashwell
