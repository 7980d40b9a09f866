#pragma once

#include "device/UsbIdentities.h"
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace flashwell {
class HidDevice;
class VirtualHidBus;
} // namespace flashwell

namespace flashwell::lab {

class FlashMemory;
class ReplayDevices;

enum class LabBootloader { Classic, SecondGen, Hjz };

struct LabFlashOptions
{
    LabBootloader bootloader = LabBootloader::Classic;
    QString file;

    // Classic: USB identity and the device info frame; the receiver settings step.
    uint16_t pid = usb::kClassicBootloader.productId;
    uint16_t vid = usb::kVendorId;
    uint16_t bootVersion = 0x0100;
    uint8_t hwCode = 0;
    uint8_t fwType = 1;
    bool receiverSettings = false;

    // Second generation: USB identity (0x3208 or 0x3002), the product ID the bootloader reports,
    // and the gamepad info record's product ID (by default the reported one) and sub-type.
    uint16_t usbPid = usb::kSecondGenBootloader.productId;
    uint16_t reportedPid = 0x9020;
    std::optional<uint16_t> infoPid;
    uint8_t subType = 0;
    // JL variant (reported product ID 0x3012, 0x3013 or 0x6008): application zone and erase unit.
    uint32_t appZone = 0x1000;
    uint32_t eraseUnit = 4096;

    // HJZ: the device id the session uses instead of the file's (386 or 387).
    std::optional<uint32_t> devId;

    std::optional<int> dropReply;    // the device does not answer its N-th request
    std::optional<int> corruptWrite; // the N-th data command is stored with one byte flipped
    std::optional<int> unplugAfter;  // the device leaves after N requests
    std::optional<int> failSend;     // the host's N-th send fails

    // Records the session (docs/recording.md) into this file.
    QString recordPath;
    // A recording's devices instead of the lab's bootloader (set up with the same session options).
    std::function<std::unique_ptr<ReplayDevices>(VirtualHidBus &bus)> replay;
    // Virtual time keeps pace with the wall clock.
    bool realTime = false;
};

struct FlashRunResult
{
    bool success = false;
    QString message;
    int64_t reportsOut = 0;
    int64_t virtualMs = 0;
};

// One update in the lab: the real session on a virtual bus in virtual time, driven the way the
// update screen drives it (the version query or readPID on arrival, a 20 s no-progress watchdog).
class LabFlashRun
{
public:
    static constexpr int64_t kStallMs = 20000;

    explicit LabFlashRun(const LabFlashOptions &options);
    ~LabFlashRun();

    // Every delegate callback, as {"event": name, ...}.
    std::function<void(const QJsonObject &)> onEvent;

    FlashRunResult run();
    // Why the recording could not be written (empty when fine or none was asked for).
    QString recordingError() const;
    ReplayDevices *replayDevices() const;
    // Ends the run now (a replay that diverged).
    void endNow(bool success, const QString &message);
    // The session's step.
    QString currentStep() const;
    const FlashMemory &flash() const;
    // {"regions":[{"address":N,"data":"<hex>"}]}; the classic settings block is included when written.
    QJsonObject flashDump() const;
    // The version the device reports in normal mode after the update, or none.
    std::optional<uint16_t> normalModeVersion() const;

private:
    struct State;
    std::unique_ptr<State> m;
};

} // namespace flashwell::lab
