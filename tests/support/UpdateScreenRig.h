#pragma once

#include "update/UpdateSessionController.h"

#include "support/TestSupport.h"
#include "support/UpdateRig.h"

#include <string>
#include <vector>

namespace flashwell::test {

// The products the update screen's tests use, under the names they are known by.
inline SFenwykCatalogue updateScreenProducts()
{
    return {entry(0x3011, 0x2DC8, 12, "Fenwyk Heron"), entry(0x3100, 0x2DC8, 17, "Fenwyk Crane"),
            entry(0x3020, 0x2DC8, 2, "Fenwyk Wren"),   entry(0x2000, 0x2DC8, 48, "Fenwyk Summit Pad"),
            entry(0x23FB, 0x2DC8, 47, "Fenwyk Grebe"), entry(0x9020, 0x2DC8, 36, "Fenwyk Tern"),
            entry(0x05C4, 0x054C, 8, "Fenwyk Swift"),  entry(0x3117, 0x2DC8, 57, "Fenwyk Vireo Duo")};
}

// The update screen's controller on the rig, over those products.
struct UpdateScreenRig : UpdateRig
{
    ScopedCatalogue catalogue{updateScreenProducts()};
    UpdateSessionController controller{services()};

    // Shows the screen for `device` as the root does (`chosenByHand`: from the chooser's picture),
    // with `list` as the server's answer.
    void show(const SFenwykDevicePtr &device, const QList<Firmware> &list, int32_t chosenByHand = 0)
    {
        controller.setDevice(device);
        controller.setminiImageposition(chosenByHand);
        controller.setState(UpdateSessionController::kStateReady);
        controller.loadViews();
        server.answer(list);
    }
    // The leading bytes of every report written so far, in order.
    std::vector<std::string> sent(std::size_t count = 6) const
    {
        std::vector<std::string> out;
        for (const auto &r : bus.outputLog())
            out.push_back(hex(r.bytes, count));
        return out;
    }
};

} // namespace flashwell::test
