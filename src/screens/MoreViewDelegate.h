#pragma once

#include "device/SFenwykDevice.h"

namespace flashwell {

class MoreView;

// What the product chooser tells the root controller.
class MoreViewDelegate
{
public:
    virtual ~MoreViewDelegate() = default;
    // A product was picked: `device` carries only its catalogue entry (`details`).
    virtual void MoreViewClick(const SFenwykDevicePtr &device, MoreView *view) = 0;
};

} // namespace flashwell
