#include "ui/SView.h"

#include <QPaintEvent>
#include <QPainter>

namespace flashwell {

SView::SView(QWidget *parent)
    : QWidget(parent)
{}

void SView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), screenGrey());
}

} // namespace flashwell
