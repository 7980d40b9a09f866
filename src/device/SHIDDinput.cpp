#include "device/SHIDDinput.h"

#include "device/HidTransport.h"
#include "device/SFenwykDeviceDetailsTools.h"
#include "platform/Scheduler.h"

#include <algorithm>
#include <array>

namespace flashwell {

namespace {
constexpr uint8_t kVersionQuery = 0x21;
constexpr uint8_t kEnterBoot = 0x50;
constexpr uint8_t kVersionReply = 0x22;
constexpr int64_t kDelayedQueryMs = 500;
constexpr std::size_t kReplyLength = 8; // both layouts end with a 16-bit field at byte 6

constexpr std::array<uint16_t, 27> kExtendedCommandPids = {
    0x2100, 0x2101, 0x3010, 0x3011, 0x3012, 0x3013, 0x3015, 0x3016, 0x3017, 0x3100, 0x3103, 0x3105, 0x3107, 0x3109,
    0x5006, 0x5111, 0x5112, 0x6000, 0x6002, 0x6003, 0x6006, 0x6007, 0x6008, 0x9020, 0x9025, 0x9026, 0x9029,
};

// A device behind the Sony-mode bridge: while it is attached no other D-input device is taken.
constexpr uint16_t kBridgePid = 0x0CDA;
constexpr uint16_t kBridgeVid = 0x054C;

constexpr uint16_t kDualReceiverPid = 0x3109;
constexpr uint16_t kDualReceiverSubPid = 0x3013;

void sendExtended(HidDevice *device, uint8_t command, uint8_t value, int times)
{
    HidReport r{};
    r[0] = 0x81;
    r[1] = 0x05;
    r[2] = 0x00;
    r[3] = command;
    r[4] = value;
    r[5] = 0x00;
    for (int i = 0; i < times; ++i)
        transport::chk_iohiddev(device, r.data(), r.size());
}

float versionFromWire(uint16_t hundredths)
{
    return static_cast<float>(hundredths) * 0.01f;
}

// Both reply layouts carry the bootloader version at the same place; false for other products.
bool applyBootVersion(SFenwykDevice &record, std::span<const uint8_t> report)
{
    if (record.pid == 0x6000 || record.pid == 0x6001) {
        record.bootVersion = wire::le16(report, 5);
        return true;
    }
    if (record.pid == 0x6002) {
        record.bootVersion = wire::le16(report, 6);
        return true;
    }
    return false;
}
} // namespace

SHIDDinput::SHIDDinput(PlatformServices services, QObject *parent)
    : SHIDManager(services, parent)
{}

bool SHIDDinput::isExtendedCommandPid(uint16_t pid)
{
    return std::find(kExtendedCommandPids.begin(), kExtendedCommandPids.end(), pid) != kExtendedCommandPids.end();
}

void SHIDDinput::open()
{
    QList<HidMatch> matching;
    for (const auto &entry : SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs())
        matching.append({entry->pid, entry->vid});
    openWithMatching(matching);
}

void SHIDDinput::boot(HidDevice *device)
{
    if (!device)
        return;
    transport::sendShortFrame(device, transport::kGuard, kEnterBoot, 0);
    const transport::Identity id = transport::identityOf(device);
    if (id.vendorId == transport::kVendorId && isExtendedCommandPid(id.productId))
        sendExtended(device, 0x51, 0x00, 3);
}

SFenwykDevicePtr SHIDDinput::getDeviceWithPID(uint16_t pid) const
{
    for (auto it = m_devices.crbegin(); it != m_devices.crend(); ++it) {
        if ((*it)->pid == pid)
            return *it;
    }
    return nullptr;
}

void SHIDDinput::deviceMatched(HidDevice *device)
{
    const bool bridgePresent = std::any_of(m_devices.begin(), m_devices.end(), [](const SFenwykDevicePtr &d) {
        return d->pid == kBridgePid && d->vid == kBridgeVid;
    });
    if (bridgePresent)
        return;

    m_devices.append(makeRecord(device));
    openAndListen(device);

    transport::sendShortFrame(device, transport::kGuard, kVersionQuery, 0);
    transport::sendShortFrame(device, transport::kGuard, kVersionQuery, 0);
    HidDeviceRef ref(device);
    scheduler().after(
        kDelayedQueryMs,
        [ref] {
            if (ref)
                transport::sendShortFrame(ref.data(), transport::kGuard, kVersionQuery, 0);
        },
        this);
    const transport::Identity id = transport::identityOf(device);
    if (id.vendorId == transport::kVendorId && isExtendedCommandPid(id.productId))
        sendExtended(device, kVersionQuery, 0x01, 4);
}

void SHIDDinput::deviceRemoved(HidDevice *device)
{
    removeFenwykDeviceRefreshUI(device);
    m_devices.removeIf([device](const SFenwykDevicePtr &d) { return d->deviceRef.data() == device; });
}

void SHIDDinput::inputReport(HidDevice *sender, std::span<const uint8_t> report)
{
    const SFenwykDevicePtr record = getDeviceWithRef(sender);
    if (!record || report.size() < kReplyLength)
        return;
    // A reply may carry the marker at both places; it is then read under both layouts.
    if (report[0] == kVersionReply) {
        applyLayoutA(record, report);
        addSFenwykDeviceRefreshUI(sender);
    }
    if (report[1] == kVersionReply) {
        applyLayoutB(record, report);
        addSFenwykDeviceRefreshUI(sender);
    }
}

void SHIDDinput::applyLayoutA(const SFenwykDevicePtr &record, std::span<const uint8_t> report)
{
    record->setVersion(versionFromWire(wire::le16(report, 1)));
    record->beta = wire::le16(report, 3);
    if (applyBootVersion(*record, report))
        return;
    if (record->pid == 0x3100 || record->pid == 0x3102 || record->pid == 0x3104)
        record->isChangeBoot = report[5] != 0;
}

void SHIDDinput::applyLayoutB(const SFenwykDevicePtr &record, std::span<const uint8_t> report)
{
    record->setVersion(versionFromWire(wire::le16(report, 2)));
    record->beta = report[4];
    if (applyBootVersion(*record, report) || record->pid != kDualReceiverPid)
        return;
    // One receiver PID for two products: the sub-PID tells which, and re-files the entry.
    const SFenwykDataDetailsPtr entry = record->details();
    if (wire::le16(report, 6) == kDualReceiverSubPid) {
        record->pid = kDualReceiverSubPid;
        if (entry) {
            entry->setName(QStringLiteral("Fenwyk Summit 2.4g Adapter"));
            entry->type = 44;
        }
    } else if (entry) {
        entry->setName(QStringLiteral("Fenwyk Summit Adapter"));
        entry->type = 42;
    }
}

void SHIDDinput::addSFenwykDeviceRefreshUI(HidDevice *device)
{
    if (DeviceDelegate *d = delegate())
        d->addSFenwykDevice(getDeviceWithRef(device));
}

void SHIDDinput::removeFenwykDeviceRefreshUI(HidDevice *device)
{
    if (DeviceDelegate *d = delegate())
        d->removeSFenwykDevice(getDeviceWithRef(device));
}

} // namespace flashwell
