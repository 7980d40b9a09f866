#include "device/HidTransport.h"

#include "device/WatcherFrames.h"
#include "platform/Logging.h"
#include "platform/NotificationCenter.h"

#include <algorithm>

namespace flashwell::transport {

namespace {
constexpr uint8_t kPacketKind = 0x16;
constexpr std::size_t kChunk = 39;         // packet bytes per report for a data command
constexpr std::size_t kChunkPrefixed = 40; // ... for the 0x81-framed identity
constexpr std::size_t kMaxSingleReport = 63;

IOReturn send(HidDevice *device, const HidReport &report)
{
    return device ? device->setReport(report) : kIOReturnSuccess;
}
} // namespace

bool readNumberProperty(const HidDevice *device, const QString &key, int32_t &out)
{
    if (!device)
        return false;
    const QVariant v = device->property(key);
    bool ok = false;
    const int32_t n = v.isValid() && v.typeId() != QMetaType::QString ? v.toInt(&ok) : 0;
    if (ok)
        out = n;
    return ok;
}

int32_t readVendorID(const HidDevice *device)
{
    int32_t value = 0;
    readNumberProperty(device, kHidVendorIDKey, value);
    return value;
}

int32_t readProductID(const HidDevice *device)
{
    int32_t value = 0;
    readNumberProperty(device, kHidProductIDKey, value);
    return value;
}

Identity identityOf(const HidDevice *device)
{
    return {static_cast<uint16_t>(readVendorID(device)), static_cast<uint16_t>(readProductID(device))};
}

HidReport buildVendorCommand(uint8_t reportId, uint8_t command, uint8_t value)
{
    return frames::buildVendorCommand({reportId, command, value});
}

HidReport applyPrefixFraming(const HidReport &report)
{
    HidReport r{};
    r[0] = 0x81;
    std::copy_n(report.begin(), kHidReportSize - 1, r.begin() + 1);
    return r;
}

HidReport buildShortFrame(const Identity &id, uint8_t kind, uint8_t value)
{
    const HidReport r = frames::buildShortFrame({kind, value}, id.shortFrame05());
    return id.prefixFramed() ? applyPrefixFraming(r) : r;
}

std::vector<HidReport> buildFramedPacket(const Identity &id, uint8_t command, std::span<const uint8_t> data)
{
    const std::size_t n = data.size();
    if (n > kMaxPacketData)
        return {};
    // The packet P: 00 16, length, command, then data length and data when there is data.
    std::vector<uint8_t> packet{0x00, kPacketKind, 0, 0, command};
    if (n == 0) {
        wire::putLe16(packet, 2, 0x0001);
    } else {
        wire::putLe16(packet, 2, static_cast<uint16_t>(n + 3));
        packet.push_back(static_cast<uint8_t>(n & 0xFF));
        packet.push_back(static_cast<uint8_t>(n >> 8));
        packet.insert(packet.end(), data.begin(), data.end());
        if (id.prefixFramed())
            packet.push_back(0x00); // one more packet byte after the data on this identity
    }

    const auto toReport = [&](std::size_t offset, std::size_t count) {
        HidReport r{};
        r[0] = static_cast<uint8_t>(count);
        std::copy_n(packet.begin() + static_cast<std::ptrdiff_t>(offset), count, r.begin() + 1);
        return id.prefixFramed() ? applyPrefixFraming(r) : r;
    };

    std::vector<HidReport> reports;
    if (command != 0) {
        if (packet.size() > kMaxSingleReport)
            return {};
        reports.push_back(toReport(0, packet.size()));
        return reports;
    }
    const std::size_t chunk = id.prefixFramed() ? kChunkPrefixed : kChunk;
    for (std::size_t offset = 0; offset < packet.size(); offset += chunk)
        reports.push_back(toReport(offset, std::min(chunk, packet.size() - offset)));
    return reports;
}

IOReturn chk_iohiddev(HidDevice *device, const uint8_t *report, std::size_t length)
{
    Q_UNUSED(length); // always 64 bytes go out
    if (!device || !report)
        return kIOReturnSuccess;
    HidReport r{};
    std::copy_n(report, kHidReportSize, r.begin());
    return device->setReport(r);
}

IOReturn Updatep(HidDevice *device, int guard, uint8_t command, uint8_t reportId)
{
    return UpdatepWithValue(device, guard, command, reportId, 0x01);
}

IOReturn UpdatepWithValue(HidDevice *device, int guard, uint8_t command, uint8_t reportId, uint8_t value)
{
    if (guard != kGuard)
        return kIOReturnError;
    return send(device, buildVendorCommand(reportId, command, value));
}

IOReturn sendShortFrame(HidDevice *device, int guard, uint8_t kind, uint8_t value)
{
    if (guard != kGuard)
        return kIOReturnError;
    return send(device, buildShortFrame(identityOf(device), kind, value));
}

IOReturn sendFramedPacket(HidDevice *device, int guard, uint8_t command, std::span<const uint8_t> data)
{
    if (guard != kGuard)
        return kIOReturnError;
    const auto reports = buildFramedPacket(identityOf(device), command, data);
    if (reports.empty()) {
        qCWarning(lcDevice) << "framed packet for command" << command << "with" << data.size()
                            << "data bytes does not fit; not sent";
        return kIOReturnError;
    }
    if (command != 0)
        return send(device, reports.front());
    for (const HidReport &r : reports) {
        if (send(device, r) != kIOReturnSuccess) {
            NotificationCenter::defaultCenter().post(QString::fromLatin1(kUpdateErrorNotification));
            return kIOReturnError;
        }
    }
    return kIOReturnSuccess;
}

} // namespace flashwell::transport
