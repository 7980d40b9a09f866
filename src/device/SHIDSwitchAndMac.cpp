#include "device/SHIDSwitchAndMac.h"

#include "device/HidTransport.h"
#include "device/SFenwykDeviceDetailsTools.h"

namespace flashwell {

namespace {
constexpr HidMatch kSwitchPro{0x2009, 0x057E};
constexpr HidMatch kSony{0x05C4, 0x054C};
constexpr uint8_t kVendorReply = 0x66;
constexpr std::size_t kReplyLength = 12; // through the 16-bit field at byte 10

constexpr HidReport kStopChangeMode = {
    0x01, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x04, 0x87, 0xf7, 0xdb, 0x35,
    0x00, 0x00, 0x00, 0x88, 0x2b, 0x08, 0xdc, 0x35, 0x00, 0x00, 0x00, 0xe8, 0x35, 0x16, 0xdc, 0x35,
    0x00, 0x00, 0x00, 0x10, 0xdb, 0xbf, 0xd2, 0x6d, 0x00, 0x00, 0x00, 0xc8, 0x12, 0xf2, 0xdb, 0x35,
};

uint8_t reportIdFor(const transport::Identity &id)
{
    if (id.productId == kSwitchPro.productId && id.vendorId == kSwitchPro.vendorId)
        return 0x01;
    if (id.productId == kSony.productId && id.vendorId == kSony.vendorId)
        return 0x05;
    return 0x00;
}

// Products that must be moved back to D-input mode instead of being announced here.
bool returnsToDinput(uint16_t pid)
{
    return pid == 0x3100 || pid == 0x3104 || pid == 0x3010 || pid == 0x3105;
}

// The last catalogue entry with this pid, or a new empty one.
SFenwykDataDetailsPtr entryForReportedPid(uint16_t pid)
{
    const auto &catalogue = SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs();
    for (auto it = catalogue.crbegin(); it != catalogue.crend(); ++it) {
        if ((*it)->pid == pid)
            return *it;
    }
    return std::make_shared<SFenwykDataDetails>();
}
} // namespace

SHIDSwitchAndMac::SHIDSwitchAndMac(PlatformServices services, QObject *parent)
    : SHIDManager(services, parent)
{}

void SHIDSwitchAndMac::open()
{
    openWithMatching({kSwitchPro, kSony});
}

void SHIDSwitchAndMac::boot(HidDevice *device)
{
    if (!device)
        return;
    transport::Updatep(device, transport::kGuard, 0x50, 0x05);
}

void SHIDSwitchAndMac::changeDinput(HidDevice *device)
{
    HidReport r{};
    r[0] = 0x01;
    r[1] = 0x66;
    r[2] = 0xAA;
    r[3] = 0x00;
    r[4] = 0x51;
    r[5] = 0x01;
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
        transport::Updatep(device, transport::kGuard, 0x21, reportId);
}

void SHIDSwitchAndMac::deviceRemoved(HidDevice *device)
{
    removeFenwykDeviceRefreshUI(device);
    if (const SFenwykDevicePtr record = getDeviceWithRef(device))
        record->deviceRef = nullptr; // the record stays
}

void SHIDSwitchAndMac::inputReport(HidDevice *sender, std::span<const uint8_t> report)
{
    if (report.size() < kReplyLength)
        return;
    if ((report[0] != 0x01 && report[0] != 0x05 && report[0] != 0x81) || report[1] != kVendorReply)
        return;

    const SFenwykDataDetailsPtr entry = entryForReportedPid(wire::be16(report, 3));
    const SFenwykDevicePtr record = getDeviceWithRef(sender);
    if (!record)
        return;
    record->setDetails(entry);
    record->setVersion(static_cast<float>(wire::le16(report, 6)) / 100.0f);
    record->beta = wire::le16(report, 8);

    if (returnsToDinput(entry->pid)) {
        record->isChangeBoot = true;
        changeDinput(sender);
        record->deviceRef = nullptr; // it comes back in D-input mode and is announced there
        return;
    }
    if (entry->pid == 0x3101)
        record->isChangeBoot = report[10] != 0;
    if (entry->pid == 0x6000 || entry->pid == 0x6001 || entry->pid == 0x6002)
        record->bootVersion = wire::le16(report, 10);
    addSFenwykDeviceRefreshUI(sender);
}

void SHIDSwitchAndMac::addSFenwykDeviceRefreshUI(HidDevice *device)
{
    if (DeviceDelegate *d = delegate())
        d->addSFenwykDevice(getDeviceWithRef(device));
}

void SHIDSwitchAndMac::removeFenwykDeviceRefreshUI(HidDevice *device)
{
    if (DeviceDelegate *d = delegate())
        d->removeSFenwykDevice(getDeviceWithRef(device));
}

} // namespace flashwell
