#include "runs/BootloaderFactory.h"

#include "boot/HjzProtocol.h"
#include "models/VirtualClassicBootloader.h"
#include "models/VirtualHjzBootloader.h"
#include "models/VirtualVela2Bootloader.h"

namespace flashwell::lab {

namespace {

// Without a file, the page layout of the device id the HJZ family is updated through by default.
constexpr uint32_t kDefaultHjzDeviceId = 387;
constexpr uint32_t kDefaultHjzPageSize = 1024;

std::unique_ptr<VirtualBootloader> makeClassic(VirtualHidBus &bus, const LabFlashOptions &options,
                                               const ServedDevice &device)
{
    auto model = std::make_unique<VirtualClassicBootloader>(bus, options.pid, options.vid);
    model->info = {options.bootVersion, options.hwCode, options.fwType};
    if (device.normalIdentity)
        model->normalIdentity = *device.normalIdentity;
    for (std::size_t i = 0; i < model->settings.size(); ++i)
        model->settings[i] = static_cast<uint8_t>(0xA0 + i);
    return model;
}

std::unique_ptr<VirtualBootloader> makeSecondGen(VirtualHidBus &bus, const LabFlashOptions &options,
                                                 const ServedDevice &device)
{
    auto model = std::make_unique<VirtualVela2Bootloader>(bus, options.reportedPid, options.usbPid);
    if (options.infoPid)
        model->info.setProductId(*options.infoPid);
    model->info.raw[vela2::GamepadInfo::kSubType] = options.subType;
    model->useLabLayout();
    // The JL bootloader keeps no version word of its own.
    if (!vela2::isJLProductId(options.reportedPid))
        model->seedFlash(device.runningVersion);
    model->appZone = options.appZone;
    model->eraseUnit = options.eraseUnit;
    model->normalIdentity = device.normalIdentity;
    return model;
}

std::unique_ptr<VirtualBootloader> makeHjz(VirtualHidBus &bus, const LabFlashOptions &options)
{
    const hjz::PageSettings geometry =
        hjz::settingsForDevice(options.devId.value_or(kDefaultHjzDeviceId)).value_or(hjz::PageSettings{});
    auto model =
        std::make_unique<VirtualHjzBootloader>(bus, geometry.flashBase, kDefaultHjzPageSize, geometry.packetsPerPage);
    model->deviceId = options.devId;
    if (!options.file.isEmpty())
        model->fitToFirmware(options.file);
    return model;
}

std::unique_ptr<VirtualBootloader> makeModel(VirtualHidBus &bus, const LabFlashOptions &options,
                                             const ServedDevice &device)
{
    switch (options.bootloader) {
    case LabBootloader::Classic:
        return makeClassic(bus, options, device);
    case LabBootloader::SecondGen:
        return makeSecondGen(bus, options, device);
    case LabBootloader::Hjz:
        break;
    }
    return makeHjz(bus, options);
}

} // namespace

std::unique_ptr<VirtualBootloader> makeBootloader(VirtualHidBus &bus, const LabFlashOptions &options,
                                                  const ServedDevice &device)
{
    std::unique_ptr<VirtualBootloader> model = makeModel(bus, options, device);
    model->faults.dropReplyAt = options.dropReply;
    model->faults.corruptWriteAt = options.corruptWrite;
    model->faults.unplugAfter = options.unplugAfter;
    return model;
}

} // namespace flashwell::lab
