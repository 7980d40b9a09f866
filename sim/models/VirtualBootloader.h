#pragma once

#include "models/FlashMemory.h"
#include "models/VirtualDeviceModel.h"
#include "models/VirtualDinputController.h"

#include <QString>

#include <memory>
#include <optional>

namespace flashwell::lab {

// What a bootloader model does wrong on purpose. Counts are 1-based: requests as the model counts
// them (a complete packet, a command), writes among its data writes.
struct BootFaultPlan
{
    std::optional<int> dropReplyAt;      // the answer to this request is never sent
    std::optional<int> duplicateReplyAt; // the answer to this request is sent twice
    std::optional<int> delayReplyAt;     // the answer to this request is sent `delayMs` late
    int64_t delayMs = 0;
    std::optional<int> corruptWriteAt; // this write is stored with one byte flipped
    std::optional<int> unplugAfter;    // the device leaves on the request after this many
};

// Base of the lab's bootloader models (classic, second generation, HJZ): the fault plan, the flash
// the host writes, the count of requests, and the return to normal mode after the update.
class VirtualBootloader : public VirtualDeviceModel
{
public:
    using VirtualDeviceModel::VirtualDeviceModel;
    ~VirtualBootloader() override;

    BootFaultPlan faults;

    FlashMemory &flash() { return m_flash; }
    const FlashMemory &flash() const { return m_flash; }
    // Requests taken, the one the device left on included.
    int requests() const { return m_requests; }
    // The controller it came back as after the update (null before, and for a bootloader that
    // does not reset into normal mode by itself).
    VirtualDinputController *normalMode() const { return m_normal.get(); }

    // The firmware file the host is about to write: a bootloader whose page layout follows the
    // file takes it from there.
    virtual void fitToFirmware(const QString &path) { Q_UNUSED(path); }
    // A settings block the host wrote outside the flash (the classic receiver settings), if any.
    virtual std::optional<FlashMemory::Region> writtenSettings() const { return std::nullopt; }

protected:
    // Counts a request; false when the plan unplugs the device on it (nothing is answered then).
    bool takeRequest();
    // Whether the plan loses the answer to the request being handled.
    bool replyLost() const { return due(faults.dropReplyAt); }
    // Device to host, for the request being handled, as the plan has it: lost, doubled or late.
    void answer(std::span<const uint8_t> report);
    // Counts a data write; true when the plan stores this one corrupted.
    bool takeWrite();
    // Leaves the bus and comes back, after the re-enumeration delay, as a D-input controller with
    // `identity`; the caller sets the version it reports.
    VirtualDinputController &returnToNormalMode(const HidIdentity &identity);

private:
    bool due(const std::optional<int> &at) const { return at && *at == m_requests; }

    FlashMemory m_flash;
    int m_requests = 0;
    int m_writes = 0;
    std::unique_ptr<VirtualDinputController> m_normal;
};

} // namespace flashwell::lab
