#pragma once

#include "platform/VirtualHidBus.h"
#include "runs/LabFlashRun.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace flashwell::lab {

class ReplayDevices;

struct LabUpdateOptions
{
    enum class Identity { Dinput, Switch, Sony };

    // The normal-mode device: its catalogue product ID, version (× 100) and beta, and the
    // identity it presents (D-input, or the Switch/Sony identities reporting `pid`).
    uint16_t pid = 0x3011;
    uint16_t versionHundredths = 100;
    uint16_t beta = 0;
    Identity identity = Identity::Dinput;
    // The bootloader it switches to, with the bootloader options of `flash` (the file is unused:
    // the update downloads it). For a second-generation bootloader without `reportedPid` set
    // explicitly, the device's own product ID is reported.
    LabFlashOptions boot;
    bool reportedPidGiven = false;
    // The bootloader is on the bus from the start (a device whose bootloader interface sits
    // beside its normal one, as the 0x2000 pad's does).
    bool bootloaderAttached = false;

    int row = 0;
    // Update is pressed no earlier than this (virtual ms): a replay presses when the recorded user
    // did, so what the product does on its own before that (a delayed query) happens first too.
    int64_t pressAtMs = 0;
    // The device cannot be switched by a report: the guide is shown and the lab re-plugs it.
    bool manual = false;
    // Faults on the bus, counted from the moment update is pressed.
    std::vector<HidFault> faults;
    int64_t busLatencyMs = 1;
    // Wall time after which a run that has not ended is given up.
    int64_t wallTimeoutMs = 30000;
    // Virtual time keeps pace with the wall clock throughout (else it runs as fast as it can
    // whenever no server request is waiting).
    bool realTime = false;

    // Records the update (docs/recording.md) into this file.
    QString recordPath;
    // A recording's devices instead of the lab's models: they are put on the bus when the run
    // starts and hear of the update's steps. The bootloader options are then unused.
    std::function<std::unique_ptr<ReplayDevices>(VirtualHidBus &bus)> replay;
};

} // namespace flashwell::lab
