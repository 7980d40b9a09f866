#pragma once

#include "boot/ClassicFrames.h"
#include "device/UsbIdentities.h"
#include "models/VirtualBootloader.h"

#include <array>
#include <optional>
#include <vector>

namespace flashwell::lab {

// A classic bootloader in any of its four identities. It answers the version query with status 4,
// the 0x1A frame with its device info, the header and every data command with an acknowledgement,
// writes the data into flash at the header's address, serves the 40-byte settings block at
// 0x08003000, and on the finish command comes back as a normal-mode controller reporting the new
// version. The 0x81-framed identity (0x3206) takes and gives every framed report one byte later.
// Requests are complete packets, short frames and memory commands; writes are data commands. It
// acts on a request only as it acknowledges it, so a request whose answer the fault plan loses is
// not acted on either.
class VirtualClassicBootloader final : public VirtualBootloader
{
public:
    VirtualClassicBootloader(VirtualHidBus &bus, uint16_t pid = usb::kClassicBootloader.productId,
                             uint16_t vid = usb::kVendorId);
    ~VirtualClassicBootloader() override;

    classic::DeviceInfo info{0x0100, 0, 1};
    uint16_t versionHundredths = 100;
    uint8_t beta = 0;
    // The normal-mode identity it returns with after the finish command.
    HidIdentity normalIdentity{usb::kVendorId, 0x3100, QStringLiteral("Fenwyk Controller")};

    std::array<uint8_t, classic::kSettingsSize> settings{};
    bool settingsWritten() const { return m_settingsWritten; }
    bool finished() const { return m_finished; }
    std::optional<classic::FirmwareHeader> header() const { return m_header; }
    std::optional<FlashMemory::Region> writtenSettings() const override;

protected:
    void handleReport(std::span<const uint8_t> report) override;

private:
    void handlePacket(const std::vector<uint8_t> &packet);
    void handleMemory(std::span<const uint8_t> report);
    // Counts a request; false when it is not acted on (the device left, or its answer is lost).
    bool actOnRequest();
    void answerFrame(const HidReport &frame, bool framed = true);
    bool prefixFramed() const;

    std::vector<uint8_t> m_packet;
    std::size_t m_packetLength = 0;
    std::optional<classic::FirmwareHeader> m_header;
    uint32_t m_written = 0;
    bool m_settingsWritten = false;
    bool m_finished = false;
};

} // namespace flashwell::lab
