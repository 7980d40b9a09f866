#pragma once

namespace flashwell {

class UpdateSessionController;

// What the update screen asks of the root controller. Optional methods: empty by default.
class UpdateViewDelegat
{
public:
    virtual ~UpdateViewDelegat() = default;
    // A device in bootloader mode arrived.
    virtual void addBootDevice(UpdateSessionController *screen) { (void)screen; }
    // The update button was pressed after a finished update.
    virtual void goHome(UpdateSessionController *screen) { (void)screen; }
};

} // namespace flashwell
