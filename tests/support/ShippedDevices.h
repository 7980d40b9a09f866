#pragma once

#include "device/SFenwykDevice.h"
#include "device/SFenwykDeviceDetailsTools.h"

#include <memory>

namespace flashwell::test {

// The shipped catalogue's entry for a product ID; null when it has none.
inline SFenwykDataDetailsPtr shippedEntry(uint16_t pid)
{
    for (const auto &e : SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs())
        if (e->pid == pid)
            return e;
    return nullptr;
}

// A record as a watcher builds it for an attached product of the shipped catalogue.
inline SFenwykDevicePtr shippedDevice(uint16_t pid, float version = 1.0f, uint16_t beta = 0)
{
    auto d = std::make_shared<SFenwykDevice>();
    d->pid = pid;
    d->vid = 0x2DC8;
    d->deviceName = QStringLiteral("USB Gamepad");
    d->setDetails(shippedEntry(pid));
    d->setVersion(version);
    d->beta = beta;
    return d;
}

// A product as the chooser hands it over: its entry alone, nothing attached.
inline SFenwykDevicePtr chosenProduct(uint16_t pid)
{
    auto d = std::make_shared<SFenwykDevice>();
    d->setDetails(shippedEntry(pid));
    return d;
}

} // namespace flashwell::test
