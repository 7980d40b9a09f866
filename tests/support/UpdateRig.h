#pragma once

#include "VirtualDeviceModel.h"
#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "device/SFenwykDevice.h"
#include "device/SHIDHJZ.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"
#include "update/UpdateSessionController.h"

#include <memory>
#include <vector>

#include "support/FakeCatalogue.h"

namespace flashwell::test {

// What the update screen runs on in a test: a virtual bus in virtual time, the shared bootloader
// sessions, the HJZ watcher and the fake server, and the device models plugged into the bus.
struct UpdateRig
{
    VirtualScheduler clock;
    VirtualHidBus bus{clock};
    FakeCatalogue server;
    SHIDBootVela2 vela2{{&clock, &bus}};
    SHIDBootHJZ hjz{{&clock, &bus}};
    SHIDHJZ hjzWatcher{{&clock, &bus}};
    std::vector<std::unique_ptr<lab::VirtualDeviceModel>> models;

    UpdateServices services() { return UpdateServices{{&clock, &bus}, &vela2, &hjz, &hjzWatcher, &server}; }

    // A normal-mode device on the bus, with its record as a watcher would build it.
    SFenwykDevicePtr plugDevice(uint16_t pid, uint16_t vid, float version, bool switchable = true)
    {
        models.push_back(std::make_unique<lab::SilentDevice>(bus, HidIdentity{vid, pid, QStringLiteral("Pad")}));
        auto record = std::make_shared<SFenwykDevice>();
        record->pid = pid;
        record->vid = vid;
        record->deviceRef = models.back()->plug();
        record->setVersion(version);
        record->isChangeBoot = switchable;
        clock.runPending();
        return record;
    }
    // A device that never answers (a bootloader waiting for its session, say).
    HidDevice *plugSilent(uint16_t pid, uint16_t vid = 0x2DC8)
    {
        models.push_back(std::make_unique<lab::SilentDevice>(bus, HidIdentity{vid, pid, QStringLiteral("Boot")}));
        HidDevice *d = models.back()->plug();
        clock.runPending();
        return d;
    }
};

} // namespace flashwell::test
