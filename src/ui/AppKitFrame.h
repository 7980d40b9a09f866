#pragma once

#include <QRectF>

class QWidget;

namespace flashwell {

// Frames as the screens describe them: origin at the bottom-left of the parent, y growing
// upwards. Qt places widgets from the top-left, y growing downwards. Every conversion goes
// through here so that no call site flips y by hand.
class AppKitFrame final
{
public:
    AppKitFrame() = delete;

    // A bottom-up frame inside a parent of the given height, as a top-down rectangle.
    static QRectF toQt(const QRectF &frame, qreal parentHeight);
    // A top-down rectangle inside a parent of the given height, as a bottom-up frame.
    static QRectF fromQt(const QRectF &rect, qreal parentHeight);

    // Places a child widget at a bottom-up frame inside its parent (rounded to whole points);
    // a window only takes the size.
    static void setFrame(QWidget *widget, const QRectF &frame);
    // The bottom-up frame of a child widget inside its parent.
    static QRectF frame(const QWidget *widget);
};

} // namespace flashwell
