// Feeds arbitrary input reports to a classic session in each of its states.
#include "FuzzSupport.h"
#include "boot/SHIDBoot.h"
#include "device/HidTransport.h"
#include "device/UsbIdentities.h"
#include "models/FirmwareFileBuilder.h"
#include "models/VirtualDeviceModel.h"
#include "platform/Bytes.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"
#include "rigs/QuietBootDelegate.h"

#include <cstddef>
#include <cstdint>

using namespace flashwell;

namespace {
QByteArray firmware;

using Sink = lab::QuietBootDelegate;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::initialise(argc, argv);
    lab::ClassicFirmware fw;
    fw.data = lab::patternBytes(200);
    firmware = fw.build();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t control = data[0];
    static Sink sink;
    auto &rig = fuzz::rig<SHIDBoot>();
    VirtualScheduler &clock = rig.clock;
    VirtualHidBus &bus = rig.bus;
    SHIDBoot &session = rig.reset();
    session.addBootDelegate(&sink);
    session.fileSource.setBytes(firmware);
    session.isUSBRR_PS_classic = control & 0x80;
    session.open();
    lab::SilentDevice device(
        bus, HidIdentity{usb::kVendorId,
                         (control & 0x40 ? usb::kClassicBootloaderPrefixFramed : usb::kClassicBootloader).productId,
                         {}});
    HidDevice *hid = device.plug();
    clock.runPending();

    // Walk the session into the state the control byte asks for, with well-formed frames.
    const bool framed = control & 0x40;
    auto frame = [&](const HidReport &r) {
        bus.sendInput(hid, framed ? transport::applyPrefixFraming(r) : r);
        clock.advance(2);
    };
    const int steps = control & 0x0F;
    if (steps > 0)
        frame(classic::deviceInfoFrame({0x0100, 0, 1}));
    for (int i = 1; i < steps; ++i)
        frame(classic::statusFrame(classic::kStatusAcknowledge));

    // Then the fuzzer's reports, of any length up to 64 bytes each.
    std::size_t at = 1;
    while (at < size) {
        const std::size_t length = std::min<std::size_t>(data[at] % 65, size - at - 1);
        bus.sendInput(hid, std::span<const uint8_t>(data + at + 1, length));
        clock.advance(static_cast<int64_t>(data[at] >> 6) * 400);
        at += 1 + length;
    }
    clock.advance(2000);
    return 0;
}
