#pragma once

#include "models/VirtualBootloader.h"
#include "runs/LabFlashRun.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace flashwell::lab {

// The device a bootloader model belongs to, as far as the model needs to know it.
struct ServedDevice
{
    // The identity it comes back with in normal mode (the model's own default when unset).
    std::optional<HidIdentity> normalIdentity;
    // The version word a second-generation bootloader's flash holds before the update.
    uint32_t runningVersion = 100;
};

// The bootloader model the bootloader options describe (their kind, identity, device info, fault
// plan, and for HJZ the page layout of the file when one is given), on `bus`, unplugged. Every
// classic model holds recognisable factory settings (0xA0, 0xA1, ...).
std::unique_ptr<VirtualBootloader> makeBootloader(VirtualHidBus &bus, const LabFlashOptions &options,
                                                  const ServedDevice &device = {});

} // namespace flashwell::lab
