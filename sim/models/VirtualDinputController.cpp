#include "models/VirtualDinputController.h"

#include "device/WatcherFrames.h"

namespace flashwell::lab {

VirtualDinputController::VirtualDinputController(VirtualHidBus &bus, uint16_t pid, uint16_t vid, QString product)
    : VirtualDeviceModel(bus, HidIdentity{vid, pid, std::move(product)})
{}

HidReport VirtualDinputController::versionReply() const
{
    frames::DinputReply reply;
    reply.versionHundredths = versionHundredths;
    reply.beta = beta;
    reply.canSwitch = canSwitch;
    reply.bootVersion = bootVersion;
    reply.subPid = subPid;
    const auto wireLayout = layout == Layout::A ? frames::DinputLayout::A : frames::DinputLayout::B;
    return frames::buildDinputReply(wireLayout, identity().productId, reply, layout == Layout::Both);
}

void VirtualDinputController::handleReport(std::span<const uint8_t> report)
{
    constexpr uint8_t kVersionQuery = 0x21, kEnterBoot = 0x50, kExtendedEnterBoot = 0x51;
    const auto shortFrame = frames::parseShortFrame(report);
    if (shortFrame && shortFrame->kind == kVersionQuery) {
        if (answersQueries)
            reply(versionReply());
        return;
    }
    const auto extended = frames::parseExtendedCommand(report);
    if ((shortFrame && shortFrame->kind == kEnterBoot) || (extended && extended->command == kExtendedEnterBoot)) {
        if (!hasSwitched())
            switchToBootloader();
    }
}

} // namespace flashwell::lab
