#pragma once

#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace flashwell::lab {

class VirtualClassicBootloader;

struct ClassicFlashOptions
{
    QString file;
    uint16_t pid = 0x5750;
    uint16_t vid = 0x2DC8;
    uint16_t bootVersion = 0x0100;
    uint8_t hwCode = 0;
    uint8_t fwType = 1;
    bool receiverSettings = false;
    std::optional<int> dropReply;    // the device does not answer its N-th request
    std::optional<int> corruptWrite; // the N-th data command is stored with one byte flipped
    std::optional<int> unplugAfter;  // the device leaves after N requests
    std::optional<int> failSend;     // the host's N-th send fails
};

struct FlashRunResult
{
    bool success = false;
    QString message;
    int64_t reportsOut = 0;
    int64_t virtualMs = 0;
};

// One classic update in the lab: the real session on a virtual bus in virtual time, driven the
// way the update screen drives it (version query on arrival, a 20 s no-progress watchdog).
class ClassicFlashRun
{
public:
    static constexpr int64_t kStallMs = 20000;

    explicit ClassicFlashRun(ClassicFlashOptions options);
    ~ClassicFlashRun();

    // Every delegate callback, as {"event": name, ...}.
    std::function<void(const QJsonObject &)> onEvent;

    FlashRunResult run();
    const VirtualClassicBootloader &device() const;
    // {"regions":[{"address":N,"data":"<hex>"}]}, the settings block included when written.
    QJsonObject flashDump() const;

private:
    struct State;
    std::unique_ptr<State> m;
};

} // namespace flashwell::lab
