// Second-generation session fuzzing, the JL path included. With FLASHWELL_FUZZ_FILE: an arbitrary firmware file is
// updated onto the lab's bootloader (the first input byte picks the reported product ID). Without
// it: arbitrary reply reports are fed while the session waits for each step.
#include "FuzzSupport.h"
#include "QuietBootDelegate.h"
#include "SessionRig.h"
#include "VirtualVela2Bootloader.h"
#include "boot/SHIDBootVela2.h"
#include "device/UsbIdentities.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <QFile>

#include <array>
#include <cstddef>
#include <cstdint>

using namespace flashwell;

namespace {

constexpr std::array<uint16_t, 15> kPids = {0x9020, 0x9025, 0x9026, 0x6006, 0x3016, 0x6003, 0x3105, 0x3103,
                                            0x2000, 0x9029, 0x2003, 0x3014, 0x3012, 0x3013, 0x6008};

using Sink = lab::QuietBootDelegate;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::initialise(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const uint16_t pid = kPids[data[0] % kPids.size()];
    Sink sink;
    lab::SessionRig<SHIDBootVela2> rig;
    VirtualScheduler &clock = rig.clock;
    VirtualHidBus &bus = rig.bus;
    auto &session = rig.session;
    session.setBootDelegate(&sink);
    session.open();
    lab::VirtualVela2Bootloader device(bus, pid);
    wire::putLe32(device.info.raw, vela2::GamepadInfo::kBootSerialAddress, 0x08003000);
    wire::putLe32(device.info.raw, vela2::GamepadInfo::kVersionWordAddress, 0x08003040);
    device.info.raw[vela2::GamepadInfo::kSubType] = data[1] & 3;
    device.seedFlash(100);
    device.appZone = static_cast<uint32_t>(data[1] >> 2) * 64; // the JL variants' zone and unit
    device.eraseUnit = (data[1] & 0x80) ? 0 : 4096;
#ifdef FLASHWELL_FUZZ_FILE
    session.filePath = fuzz::writeInput(data + 2, size - 2);
    HidDevice *hid = device.plug();
    Q_UNUSED(hid);
    clock.runPending();
    session.readPID();
    clock.advance(120'000);
#else
    // A small valid file, so the session gets as far as the replies let it.
    std::array<uint8_t, 28 + 64> file{};
    wire::putLe32(file, 4, 0x01018000);
    wire::putLe32(file, 8, 64);
    wire::putLe32(file, 12, pid);
    session.filePath = fuzz::writeInput(file.data(), file.size());
    HidDevice *hid = bus.plug({usb::kVendorId, usb::kSecondGenBootloader.productId, {}}, nullptr);
    clock.runPending();
    session.readPID();
    std::size_t at = 2;
    while (at < size) {
        const std::size_t length = std::min<std::size_t>(data[at] % 65, size - at - 1);
        bus.sendInput(hid, std::span<const uint8_t>(data + at + 1, length));
        clock.advance(1 + (data[at] >> 6) * 300);
        at += 1 + length;
    }
    clock.advance(2000);
#endif
    return 0;
}
