#include "models/VirtualClassicBootloader.h"

#include "device/HidTransport.h"
#include "platform/Bytes.h"

#include <algorithm>

namespace flashwell::lab {

namespace {
constexpr std::size_t kPacketHeader = 5; // 00 16 length command
constexpr std::size_t kPacketData = 7;
} // namespace

VirtualClassicBootloader::VirtualClassicBootloader(VirtualHidBus &bus, uint16_t pid, uint16_t vid)
    : VirtualBootloader(bus, HidIdentity{vid, pid, QStringLiteral("Fenwyk Bootloader")})
{}

VirtualClassicBootloader::~VirtualClassicBootloader() = default;

bool VirtualClassicBootloader::prefixFramed() const
{
    return transport::Identity{identity().vendorId, identity().productId}.prefixFramed();
}

bool VirtualClassicBootloader::actOnRequest()
{
    return takeRequest() && !replyLost();
}

void VirtualClassicBootloader::answerFrame(const HidReport &frame, bool framed)
{
    answer(framed && prefixFramed() ? transport::applyPrefixFraming(frame) : frame);
}

std::optional<FlashMemory::Region> VirtualClassicBootloader::writtenSettings() const
{
    if (!m_settingsWritten)
        return std::nullopt;
    return FlashMemory::Region{classic::kSettingsAddress, byteArrayOf(settings)};
}

void VirtualClassicBootloader::handleReport(std::span<const uint8_t> raw)
{
    if (m_finished || raw.size() < 6)
        return;
    // Memory commands are raw reports, never 0x81-framed.
    if (raw[1] == 0x00 && (raw[2] == classic::kMemoryReadCommand || raw[2] == classic::kMemoryWriteCommand)
        && m_packet.empty()) {
        handleMemory(raw);
        return;
    }
    std::span<const uint8_t> report = raw;
    if (prefixFramed()) {
        if (raw[0] != 0x81)
            return;
        report = raw.subspan(1);
    }
    const std::size_t count = std::min<std::size_t>(report[0], report.size() - 1);
    const auto payload = report.subspan(1, count);
    if (m_packet.empty()) {
        const bool packetStart =
            payload.size() >= kPacketHeader && payload[0] == 0x00 && payload[1] == classic::kFramedKind;
        const bool shortFrame = (report[0] == 0x06 || report[0] == 0x05) && report[1] == 0x00 && report[3] == 0x01;
        if (!packetStart) {
            if (shortFrame && report[2] == classic::kInfoRequestKind && actOnRequest())
                answerFrame(classic::deviceInfoFrame(info));
            return;
        }
        const uint16_t lengthField = wire::le16(payload, 2);
        m_packetLength = lengthField <= 1 ? kPacketHeader : lengthField + 4u + (prefixFramed() ? 1u : 0u);
    }
    m_packet.insert(m_packet.end(), payload.begin(), payload.end());
    if (m_packet.size() < m_packetLength)
        return;
    std::vector<uint8_t> packet;
    packet.swap(m_packet);
    handlePacket(packet);
}

void VirtualClassicBootloader::handlePacket(const std::vector<uint8_t> &packet)
{
    const uint8_t command = packet[4];
    const std::size_t n = packet.size() > kPacketData ? wire::le16(packet, 5) : 0;
    const auto data = std::span<const uint8_t>(packet).subspan(
        std::min(packet.size(), kPacketData),
        std::min<std::size_t>(n, packet.size() - std::min(packet.size(), kPacketData)));
    const bool corrupt = command == classic::kCommandData && takeWrite();
    if (!actOnRequest())
        return;
    switch (command) {
    case classic::kCommandVersion:
        answerFrame(classic::statusFrame(classic::kStatusVersion, versionHundredths, beta));
        break;
    case classic::kCommandHeader: {
        auto header = classic::FirmwareHeader::parse(data);
        if (!header)
            return;
        if (prefixFramed())
            header->raw = header->forWire(true); // the words come big-endian; reversing restores them
        m_header = header;
        m_written = 0;
        answerFrame(classic::statusFrame(classic::kStatusAcknowledge));
        break;
    }
    case classic::kCommandData: {
        if (!m_header)
            return;
        std::vector<uint8_t> bytes(data.begin(), data.end());
        if (corrupt && !bytes.empty())
            bytes[bytes.size() / 2] ^= 0x01;
        flash().write(m_header->address() + m_written, bytes);
        m_written += static_cast<uint32_t>(bytes.size());
        answerFrame(classic::statusFrame(classic::kStatusAcknowledge));
        break;
    }
    case classic::kCommandFinish: {
        m_finished = true;
        VirtualDinputController &normal = returnToNormalMode(normalIdentity);
        if (m_header) {
            normal.versionHundredths = m_header->version();
            normal.beta = m_header->beta();
        }
        break;
    }
    default:
        break;
    }
}

void VirtualClassicBootloader::handleMemory(std::span<const uint8_t> report)
{
    if (!actOnRequest())
        return;
    const uint32_t address = wire::le32(report, 5);
    if (address < classic::kSettingsAddress || address >= classic::kSettingsAddress + classic::kSettingsSize)
        return;
    const std::size_t offset = address - classic::kSettingsAddress;
    const uint16_t lengthField = wire::le16(report, 3);
    const std::size_t length =
        std::min<std::size_t>(lengthField >= 4 ? lengthField - 4u : 0u, classic::kSettingsSize - offset);
    if (report[2] == classic::kMemoryReadCommand) {
        answerFrame(classic::memoryReadReply(std::span<const uint8_t>(settings).subspan(offset, length)), false);
    } else {
        const std::size_t n = std::min<std::size_t>(length, report.size() - 9);
        std::copy_n(report.begin() + 9, n, settings.begin() + static_cast<std::ptrdiff_t>(offset));
        m_settingsWritten = true;
    }
}

} // namespace flashwell::lab
