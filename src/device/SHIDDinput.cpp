#include "device/SHIDDinput.h"

#include "device/HidTransport.h"
#include "device/ProductRules.h"
#include "device/SFenwykDeviceDetailsTools.h"
#include "device/UsbIdentities.h"
#include "platform/Scheduler.h"

#include <algorithm>

namespace flashwell {

namespace {
constexpr uint8_t kVersionQuery = 0x21;
constexpr uint8_t kEnterBoot = 0x50;
constexpr uint8_t kExtendedEnterBoot = 0x51;
constexpr int64_t kDelayedQueryMs = 500;

void sendExtended(HidDevice *device, uint8_t command, uint8_t value, int times)
{
    const HidReport r = frames::buildExtendedCommand({command, value});
    for (int i = 0; i < times; ++i)
        transport::chk_iohiddev(device, r.data(), r.size());
}

float versionFromWire(uint16_t hundredths)
{
    return static_cast<float>(hundredths) * 0.01f;
}

bool takesExtendedCommands(const transport::Identity &id)
{
    return id.vendorId == usb::kVendorId && products::takesExtendedCommands(id.productId);
}
} // namespace

SHIDDinput::SHIDDinput(PlatformServices services, QObject *parent)
    : SHIDManager(services, parent)
{}

bool SHIDDinput::isExtendedCommandPid(uint16_t pid)
{
    return products::takesExtendedCommands(pid);
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
    if (takesExtendedCommands(transport::identityOf(device)))
        sendExtended(device, kExtendedEnterBoot, 0x00, 3);
}

SFenwykDevicePtr SHIDDinput::getDeviceWithPID(uint16_t pid) const
{
    const auto found = std::find_if(m_devices.crbegin(), m_devices.crend(),
                                    [pid](const SFenwykDevicePtr &d) { return d->pid == pid; });
    return found == m_devices.crend() ? nullptr : *found;
}

void SHIDDinput::deviceMatched(HidDevice *device)
{
    const bool bridgePresent = std::any_of(m_devices.begin(), m_devices.end(), [](const SFenwykDevicePtr &d) {
        return usb::is(usb::kSonyBridge, d->pid, d->vid);
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
    if (takesExtendedCommands(transport::identityOf(device)))
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
    if (!record)
        return;
    // A reply may carry the marker at both places; it is then read under both layouts.
    if (const auto reply = frames::parseDinputReply(frames::DinputLayout::A, record->pid, report)) {
        applyLayoutA(record, *reply);
        addSFenwykDeviceRefreshUI(sender);
    }
    if (const auto reply = frames::parseDinputReply(frames::DinputLayout::B, record->pid, report)) {
        applyLayoutB(record, *reply);
        addSFenwykDeviceRefreshUI(sender);
    }
}

void SHIDDinput::applyLayoutA(const SFenwykDevicePtr &record, const frames::DinputReply &reply)
{
    record->setVersion(versionFromWire(reply.versionHundredths));
    record->beta = reply.beta;
    if (reply.bootVersion)
        record->bootVersion = *reply.bootVersion;
    else if (reply.canSwitch)
        record->isChangeBoot = *reply.canSwitch;
}

void SHIDDinput::applyLayoutB(const SFenwykDevicePtr &record, const frames::DinputReply &reply)
{
    record->setVersion(versionFromWire(reply.versionHundredths));
    record->beta = reply.beta;
    if (reply.bootVersion)
        record->bootVersion = *reply.bootVersion;
    if (!reply.subPid)
        return;
    // One receiver PID for two products: the sub-PID tells which, and re-files the entry.
    const SFenwykDataDetailsPtr entry = record->details();
    if (*reply.subPid == products::kDualReceiverSubPid) {
        record->pid = products::kDualReceiverSubPid;
        if (entry) {
            entry->setName(QStringLiteral("Fenwyk Summit 2.4 GHz Adapter"));
            entry->type = 44;
        }
    } else if (entry) {
        entry->setName(QStringLiteral("Fenwyk Summit Adapter"));
        entry->type = 42;
    }
}

void SHIDDinput::addSFenwykDeviceRefreshUI(HidDevice *device)
{
    tellDelegate(&DeviceDelegate::addSFenwykDevice, getDeviceWithRef(device));
}

void SHIDDinput::removeFenwykDeviceRefreshUI(HidDevice *device)
{
    tellDelegate(&DeviceDelegate::removeSFenwykDevice, getDeviceWithRef(device));
}

} // namespace flashwell
