// The normal-mode watchers' reply parsing: arbitrary input reports, read under every layout for
// the product IDs whose rules differ. A reply that parses must build back to bytes that parse to
// the same fields; and the watchers themselves take the same reports from the bus.
#include "FuzzSupport.h"
#include "device/ProductRules.h"
#include "device/SHIDDinput.h"
#include "device/SHIDSwitchAndMac.h"
#include "device/UsbIdentities.h"
#include "device/WatcherFrames.h"
#include "models/VirtualDeviceModel.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace flashwell;

namespace {
// One product ID of each rule: switch flag, boot version at 5 and at 6, dual receiver, plain.
constexpr std::array<uint16_t, 6> kPids = {0x3100, 0x6000, 0x6002, products::kDualReceiverPid, 0x3101, 0x3020};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool sameReply(const frames::DinputReply &a, const frames::DinputReply &b)
{
    return a.versionHundredths == b.versionHundredths && a.beta == b.beta && a.bootVersion == b.bootVersion
           && a.canSwitch == b.canSwitch && a.subPid == b.subPid;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::initialise(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    const std::span<const uint8_t> report(data, size);
    for (const uint16_t pid : kPids) {
        for (const auto layout : {frames::DinputLayout::A, frames::DinputLayout::B}) {
            const auto reply = frames::parseDinputReply(layout, pid, report);
            if (!reply)
                continue;
            const HidReport rebuilt = frames::buildDinputReply(layout, pid, *reply);
            const auto again = frames::parseDinputReply(layout, pid, rebuilt);
            check(again && sameReply(*again, *reply));
        }
    }
    if (const auto reply = frames::parseVendorReply(report)) {
        const auto again = frames::parseVendorReply(frames::buildVendorReply(*reply));
        check(again && again->pid == reply->pid && again->versionHundredths == reply->versionHundredths
              && again->beta == reply->beta && again->field10 == reply->field10);
    }
    (void)frames::parseShortFrame(report);
    (void)frames::parseVendorCommand(report);
    (void)frames::parseExtendedCommand(report);

    // The watchers read the same bytes as input reports of a device they have matched.
    if (size == 0)
        return 0;
    auto &dinputRig = fuzz::rig<SHIDDinput>();
    SHIDDinput &dinput = dinputRig.reset();
    dinput.open();
    {
        lab::SilentDevice pad(dinputRig.bus, HidIdentity{usb::kVendorId, kPids[data[0] % kPids.size()], {}});
        HidDevice *device = pad.plug();
        dinputRig.clock.runPending();
        dinputRig.bus.sendInput(device, report.subspan(1));
        dinputRig.clock.advance(1000);
    }

    auto &vendorRig = fuzz::rig<SHIDSwitchAndMac>();
    SHIDSwitchAndMac &vendor = vendorRig.reset();
    vendor.open();
    lab::SilentDevice pro(vendorRig.bus,
                          HidIdentity{usb::kSwitchPro.vendorId, usb::kSwitchPro.productId, QStringLiteral("Pro")});
    HidDevice *proDevice = pro.plug();
    vendorRig.clock.runPending();
    vendorRig.bus.sendInput(proDevice, report.subspan(1));
    vendorRig.clock.advance(1000);
    return 0;
}
