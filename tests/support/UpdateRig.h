#pragma once

#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "device/SFenwykDevice.h"
#include "device/SHIDHJZ.h"
#include "rigs/SessionRig.h"
#include "update/UpdateSessionController.h"

#include "support/FakeCatalogue.h"

namespace flashwell::test {

// What the update screen runs on in a test: a virtual bus in virtual time, the shared bootloader
// sessions, the HJZ watcher and the fake server, and the device models plugged into the bus.
struct UpdateRig : lab::VirtualRig
{
    FakeCatalogue server;
    SHIDBootVela2 vela2{VirtualRig::services()};
    SHIDBootHJZ hjz{VirtualRig::services()};
    SHIDHJZ hjzWatcher{VirtualRig::services()};

    UpdateServices services() { return UpdateServices{VirtualRig::services(), &vela2, &hjz, &hjzWatcher, &server}; }

    // A normal-mode device on the bus, with its record as a watcher would build it.
    SFenwykDevicePtr plugDevice(uint16_t pid, uint16_t vid, float version, bool switchable = true)
    {
        auto record = std::make_shared<SFenwykDevice>();
        record->pid = pid;
        record->vid = vid;
        record->deviceRef = plugSilent(HidIdentity{vid, pid, QStringLiteral("Pad")});
        record->setVersion(version);
        record->isChangeBoot = switchable;
        return record;
    }
    // A device that never answers (a bootloader waiting for its session, say).
    HidDevice *plugSilent(uint16_t pid, uint16_t vid = 0x2DC8)
    {
        return plugSilent(HidIdentity{vid, pid, QStringLiteral("Boot")});
    }
    using VirtualRig::plugSilent;
};

} // namespace flashwell::test
