#pragma once

namespace flashwell {

class SMiniImageView;

// Receives the clicks of a clickable, unselected SMiniImageView.
class SMiniImageViewDelegate
{
public:
    virtual ~SMiniImageViewDelegate() = default;
    virtual void SMiniImageViewClick(SMiniImageView *view) = 0;
};

} // namespace flashwell
