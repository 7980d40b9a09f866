#pragma once

namespace flashwell {

class SButton;

// Receives the presses of an SButton.
class SButtonDelegate
{
public:
    virtual ~SButtonDelegate() = default;
    virtual void SButtonClick(SButton *button) { (void)button; }
};

} // namespace flashwell
