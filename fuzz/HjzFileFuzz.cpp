// Runs an HJZ update of an arbitrary firmware file against the lab's HJZ bootloader; the first
// input byte picks the device id the session is told to use (none, 386 or 387).
#include "FuzzSupport.h"
#include "boot/SHIDBootHJZ.h"
#include "models/VirtualHjzBootloader.h"
#include "platform/Bytes.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <cstddef>
#include <cstdint>

using namespace flashwell;

namespace {

class Sink final : public QObject, public SHIDBootHJZDelegate
{
public:
    void SHIDBootHJZUpdate(SHIDBootHJZ *, const SFenwykDevicePtr &) override {}
    void SHIDBootHJZUpdateSuccess(SHIDBootHJZ *) override {}
    void SHIDBootHJZUpdateFail(SHIDBootHJZ *, const QString &) override {}
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
    static Sink sink;
    auto &rig = fuzz::rig<SHIDBootHJZ>();
    VirtualScheduler &clock = rig.clock;
    VirtualHidBus &bus = rig.bus;
    SHIDBootHJZ &session = rig.reset();
    session.addBootDelegate(&sink);
    session.cur_devId = data[0] % 3 == 0 ? 0 : (data[0] % 3 == 1 ? 386 : 387);
    session.open();
    lab::VirtualHjzBootloader device(bus, data[0] & 0x80 ? 0 : 0x08003400, 64u << (data[0] & 3),
                                     1u << ((data[0] >> 2) & 3));
    device.plug();
    clock.runPending();
    session.fileSource.setBytes(byteArrayOf({data + 1, size - 1}));
    session.startUpdate();
    clock.advance(60'000);
    return 0;
}
