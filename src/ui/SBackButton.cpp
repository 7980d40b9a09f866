#include "ui/SBackButton.h"

#include <QKeyEvent>
#include <QPainter>

namespace flashwell {

SBackButton::SBackButton(QWidget *parent)
    : QAbstractButton(parent)
    , m_image(Picture::imageNamed(QStringLiteral("back")))
{
    resize(30, 30);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(qtTrId("back"));
    setAccessibleDescription(qtTrId("backHint"));
}

void SBackButton::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()
        && event->modifiers() == Qt::NoModifier) {
        click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void SBackButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        painter.setOpacity(0.6);
    m_image.drawProportionallyDown(painter, QRectF(rect()));
    if (hasFocus()) {
        painter.setOpacity(1.0);
        painter.setPen(QPen(QColor(0, 160, 233), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

} // namespace flashwell
