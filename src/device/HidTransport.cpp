#include "device/HidTransport.h"

#include "device/WatcherFrames.h"
#include "platform/Logging.h"
#include "platform/NotificationCenter.h"

#include <algorithm>
#include <array>

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
    const std::optional<int32_t> n = HidDevice::numberOf(device->property(key));
    if (n)
        out = *n;
    return n.has_value();
}

// The device's own reading of the two identity properties, taken when its handle was made: the
// same values as readNumberProperty finds, without a map lookup and a QVariant per report.
int32_t readVendorID(const HidDevice *device)
{
    return device ? device->vendorIdNumber().value_or(0) : 0;
}

int32_t readProductID(const HidDevice *device)
{
    return device ? device->productIdNumber().value_or(0) : 0;
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

namespace {

// The reports of one framed packet, handed to `emit` one at a time until it returns false. False,
// with nothing handed, when the packet cannot be sent. The packet is built on the stack: a data
// command goes out every few milliseconds during an update.
template <class Emit> bool frameReports(const Identity &id, uint8_t command, std::span<const uint8_t> data, Emit &&emit)
{
    const std::size_t n = data.size();
    if (n > kMaxPacketData)
        return false;
    // The packet P: 00 16, length, command, then data length and data when there is data.
    std::array<uint8_t, 7 + kMaxPacketData + 1> packet{};
    packet[1] = kPacketKind;
    packet[4] = command;
    std::size_t size = 5;
    if (n == 0) {
        wire::putLe16(packet, 2, 0x0001);
    } else {
        wire::putLe16(packet, 2, static_cast<uint16_t>(n + 3));
        packet[5] = static_cast<uint8_t>(n & 0xFF);
        packet[6] = static_cast<uint8_t>(n >> 8);
        std::copy(data.begin(), data.end(), packet.begin() + 7);
        size = 7 + n;
        if (id.prefixFramed())
            packet[size++] = 0x00; // one more packet byte after the data on this identity
    }

    const auto toReport = [&](std::size_t offset, std::size_t count) {
        HidReport r{};
        r[0] = static_cast<uint8_t>(count);
        std::copy_n(packet.begin() + static_cast<std::ptrdiff_t>(offset), count, r.begin() + 1);
        return id.prefixFramed() ? applyPrefixFraming(r) : r;
    };

    if (command != 0) {
        if (size > kMaxSingleReport)
            return false;
        emit(toReport(0, size));
        return true;
    }
    const std::size_t chunk = id.prefixFramed() ? kChunkPrefixed : kChunk;
    for (std::size_t offset = 0; offset < size; offset += chunk)
        if (!emit(toReport(offset, std::min(chunk, size - offset))))
            break;
    return true;
}

} // namespace

std::vector<HidReport> buildFramedPacket(const Identity &id, uint8_t command, std::span<const uint8_t> data)
{
    std::vector<HidReport> reports;
    const bool framed = frameReports(id, command, data, [&reports](const HidReport &r) {
        reports.push_back(r);
        return true;
    });
    return framed ? reports : std::vector<HidReport>{};
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
    IOReturn last = kIOReturnSuccess;
    const bool framed = frameReports(identityOf(device), command, data, [&](const HidReport &r) {
        last = send(device, r);
        return last == kIOReturnSuccess;
    });
    if (!framed) {
        qCWarning(lcDevice) << "framed packet for command" << command << "with" << data.size()
                            << "data bytes does not fit; not sent";
        return kIOReturnError;
    }
    if (command != 0)
        return last;
    if (last != kIOReturnSuccess) {
        NotificationCenter::defaultCenter().post(QString::fromLatin1(kUpdateErrorNotification));
        return kIOReturnError;
    }
    return kIOReturnSuccess;
}

} // namespace flashwell::transport
