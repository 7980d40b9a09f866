#include "ui/SMiniImageView.h"

#include "ui/AppKitFrame.h"
#include "ui/UiLogging.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace flashwell {

namespace {
const QColor kSelectedColor(219, 155, 52);
const QColor kHoverColor(0, 160, 233);
} // namespace

SMiniImageView::SMiniImageView(QWidget *parent)
    : ImageView(parent)
{
    setAttribute(Qt::WA_Hover);
    setAccessibleDescription(qtTrId("SMiniImageViewHint"));
    refreshFocusPolicy();
}

SMiniImageView::SMiniImageView(const QRectF &frame, QWidget *parent)
    : SMiniImageView(parent)
{
    AppKitFrame::setFrame(this, frame);
}

void SMiniImageView::setIsSelect(bool select)
{
    m_isSelect = select;
    if (select) {
        m_borderWidth = 1;
        m_borderColor = kSelectedColor;
    } else {
        m_borderWidth = 0;
    }
    refreshFocusPolicy();
    update();
}

void SMiniImageView::setIsClick(bool click)
{
    m_isClick = click;
    refreshFocusPolicy();
}

void SMiniImageView::refreshFocusPolicy()
{
    // Keyboard users reach exactly the pictures that a click would choose.
    setFocusPolicy(reacts() ? Qt::StrongFocus : Qt::NoFocus);
}

void SMiniImageView::mouseDown()
{
    if (!reacts())
        return;
    if (SMiniImageViewDelegate *d = m_delegate.get())
        d->SMiniImageViewClick(this);
    qCDebug(lcUi) << "mouseDown-";
}

void SMiniImageView::mouseEntered()
{
    if (!reacts())
        return;
    m_borderWidth = 1;
    m_borderColor = kHoverColor;
    update();
    qCDebug(lcUi) << "mouseEntered-";
}

void SMiniImageView::mouseExited()
{
    if (!reacts())
        return;
    m_borderWidth = 0;
    update();
    qCDebug(lcUi) << "mouseExited-";
}

void SMiniImageView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        mouseDown();
    event->accept();
}

void SMiniImageView::enterEvent(QEnterEvent *event)
{
    ImageView::enterEvent(event);
    mouseEntered();
}

void SMiniImageView::leaveEvent(QEvent *event)
{
    ImageView::leaveEvent(event);
    mouseExited();
}

void SMiniImageView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && reacts()) {
        mouseDown();
        event->accept();
        return;
    }
    ImageView::keyPressEvent(event);
}

void SMiniImageView::paintEvent(QPaintEvent *event)
{
    ImageView::paintEvent(event);
    QPainter painter(this);
    if (m_borderWidth > 0) {
        painter.setPen(QPen(m_borderColor, m_borderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
    if (hasFocus()) {
        painter.setPen(QPen(kHoverColor, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5));
    }
}

} // namespace flashwell
