// Runs a whole classic update of an arbitrary firmware file against the lab's bootloader.
#include "FuzzSupport.h"
#include "boot/SHIDBoot.h"
#include "device/HidTransport.h"
#include "models/VirtualClassicBootloader.h"
#include "platform/Bytes.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"
#include "rigs/QuietBootDelegate.h"

#include <cstddef>
#include <cstdint>

using namespace flashwell;

namespace {

// Asks for the version when the bootloader arrives, as the update screen does.
class Starter final : public lab::QuietBootDelegate
{
public:
    void SHIDBootAddDevice(const SFenwykDevicePtr &d, SHIDManager *) override
    {
        transport::sendFramedPacket(d->deviceRef.data(), transport::kGuard, classic::kCommandVersion, {});
    }
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::initialise(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    static Starter starter;
    auto &rig = fuzz::rig<SHIDBoot>();
    VirtualScheduler &clock = rig.clock;
    VirtualHidBus &bus = rig.bus;
    SHIDBoot &session = rig.reset();
    session.addBootDelegate(&starter);
    session.fileSource.setBytes(byteArrayOf({data + 1, size - 1}));
    session.isUSBRR_PS_classic = data[0] & 1;
    session.open();
    lab::VirtualClassicBootloader device(bus, data[0] & 2 ? 0x3206 : 0x5750);
    device.info = {static_cast<uint16_t>(data[0] & 4 ? 0x0105 : 0x0100), static_cast<uint8_t>((data[0] >> 3) & 3), 1};
    device.plug();
    // Files are small here; a bounded amount of virtual time covers any of them.
    clock.advance(60'000);
    return 0;
}
