#include "ui/SMiniImageView.h"

#include "ui/AppKitFrame.h"
#include "ui/UiLogging.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace flashwell {

namespace {
const QColor kSelectedColor(219, 155, 52);
const QColor kHoverColor(0, 160, 233);

// Assistive technology sees a picture that can be chosen as a button it can press, and one that
// cannot as a plain graphic.
class AccessibleMiniImage final : public QAccessibleWidget
{
public:
    explicit AccessibleMiniImage(SMiniImageView *view)
        : QAccessibleWidget(view, QAccessible::Graphic)
    {}

    QAccessible::Role role() const override { return view()->reacts() ? QAccessible::Button : QAccessible::Graphic; }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.selected = view()->isSelect();
        s.selectable = view()->isClick();
        return s;
    }

    QStringList actionNames() const override { return view()->reacts() ? QStringList{pressAction()} : QStringList(); }

    void doAction(const QString &name) override
    {
        if (name == pressAction())
            view()->mouseDown();
    }

private:
    SMiniImageView *view() const { return static_cast<SMiniImageView *>(widget()); }
};

QAccessibleInterface *accessibleMiniImage(const QString &, QObject *object)
{
    if (auto *view = qobject_cast<SMiniImageView *>(object))
        return new AccessibleMiniImage(view);
    return nullptr;
}
} // namespace

SMiniImageView::SMiniImageView(QWidget *parent)
    : ImageView(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleMiniImage);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
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
