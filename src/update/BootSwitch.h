#pragma once

#include "net/Firmware.h"

#include <cstdint>
#include <optional>

namespace flashwell {

class SFenwykDevice;

// How a device gets into its bootloader for an update, decided without a bus: the facts in, one
// step out. The update controller gathers the facts and carries the step out.
namespace boot_switch {

// What is known when the firmware file is on disk.
struct Facts
{
    // The device shown, as its record says (all zero without one).
    bool switchable = false; // it takes a report that switches it into its bootloader
    bool attached = false;   // its normal-mode HID device is still there
    uint16_t pid = 0;
    uint16_t vid = 0;
    uint16_t cataloguePid = 0; // its catalogue entry's product ID; 0 without an entry
    float version = 0.0f;
    // The release to be written (the attempt's, else the checked row's).
    std::optional<int32_t> releaseType;
    float releaseVersion = 0.0f;
    // A bootloader-mode device is attached now.
    bool bootloaderAttached = false;

    // The facts of `device` (may be null) and `release`.
    static Facts of(SFenwykDevice *device, const std::optional<Firmware> &release, bool bootloaderAttached);
};

enum class Step {
    ReadPid,         // the second-generation session identifies the device (and writes, given a file)
    HjzRead,         // the HJZ session takes the device (and writes, given a file)
    QueryBootloader, // the version query to the attached bootloader device, then ReadPid
    SwitchReport,    // a vendor command report to the device: `reportId`, `command`, `value`
    DinputSwitch,    // the D-input mode switch to the device
    Guide,           // nothing can switch it: the user does, led by the manual guide
};

struct Decision
{
    Step step = Step::Guide;
    uint8_t reportId = 0;
    uint8_t command = 0;
    uint8_t value = 0;

    friend bool operator==(const Decision &, const Decision &) = default;
};

// The three ways in, each answering nothing when it does not apply.
std::optional<Decision> bootBoot(const Facts &facts);
std::optional<Decision> switchBoot(const Facts &facts);
std::optional<Decision> macBoot(const Facts &facts);
// The whole rule: a switchable attached device is switched; anything else goes to an attached
// bootloader, or to the guide.
Decision changeBoot(const Facts &facts);

} // namespace boot_switch
} // namespace flashwell
