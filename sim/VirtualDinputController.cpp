#include "VirtualDinputController.h"

namespace flashwell::lab {

VirtualDinputController::VirtualDinputController(VirtualHidBus &bus, uint16_t pid, uint16_t vid, QString product)
    : VirtualDeviceModel(bus, HidIdentity{vid, pid, std::move(product)})
{}

HidReport VirtualDinputController::versionReply() const
{
    const uint16_t pid = identity().productId;
    HidReport r{};
    if (layout == Layout::A) {
        r[0] = 0x22;
        wire::putLe16(r, 1, versionHundredths);
        wire::putLe16(r, 3, beta);
        if (pid == 0x3100 || pid == 0x3102 || pid == 0x3104)
            r[5] = canSwitch ? 1 : 0;
        else if (pid == 0x6000 || pid == 0x6001)
            wire::putLe16(r, 5, bootVersion);
        else if (pid == 0x6002)
            wire::putLe16(r, 6, bootVersion);
        return r;
    }
    r[0] = layout == Layout::Both ? 0x22 : 0x01;
    r[1] = 0x22;
    wire::putLe16(r, 2, versionHundredths);
    r[4] = static_cast<uint8_t>(beta);
    if (pid == 0x6000 || pid == 0x6001)
        wire::putLe16(r, 5, bootVersion);
    else if (pid == 0x6002)
        wire::putLe16(r, 6, bootVersion);
    else if (pid == 0x3109)
        wire::putLe16(r, 6, subPid);
    return r;
}

void VirtualDinputController::handleReport(std::span<const uint8_t> report)
{
    if (report.size() < 6)
        return;
    const bool shortFrame =
        (report[0] == 0x06 || report[0] == 0x05) && report[1] == 0x00 && report[3] == 0x01 && report[4] == 0x00;
    if (shortFrame && report[2] == 0x21) {
        if (answersQueries)
            reply(versionReply());
        return;
    }
    const bool extendedBoot = report[0] == 0x81 && report[1] == 0x05 && report[3] == 0x51;
    if ((shortFrame && report[2] == 0x50) || extendedBoot) {
        if (!hasSwitched())
            switchToBootloader();
    }
}

} // namespace flashwell::lab
