#include "ui/AppKitFrame.h"

#include <QWidget>

namespace flashwell {

QRectF AppKitFrame::toQt(const QRectF &frame, qreal parentHeight)
{
    return {frame.x(), parentHeight - frame.y() - frame.height(), frame.width(), frame.height()};
}

QRectF AppKitFrame::fromQt(const QRectF &rect, qreal parentHeight)
{
    // The flip is its own inverse.
    return toQt(rect, parentHeight);
}

void AppKitFrame::setFrame(QWidget *widget, const QRectF &frame)
{
    const QWidget *parent = widget->parentWidget();
    if (!parent) {
        // A window has no parent to flip inside: only its size applies.
        widget->resize(frame.size().toSize());
        return;
    }
    widget->setGeometry(toQt(frame, parent->height()).toRect());
}

QRectF AppKitFrame::frame(const QWidget *widget)
{
    const QWidget *parent = widget->parentWidget();
    if (!parent)
        return {QPointF(0, 0), QSizeF(widget->size())};
    return fromQt(QRectF(widget->geometry()), parent->height());
}

} // namespace flashwell
