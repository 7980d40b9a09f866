#include "ui/SButton.h"

#include "platform/Bundle.h"
#include "ui/AppKitFrame.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace flashwell {

namespace {
constexpr qreal kCornerRadius = 20;
constexpr qreal kFillHeight = 40;
} // namespace

SButton::SButton(QWidget *parent)
    : QAbstractButton(parent)
{
    // Highlight first, then background: the outline and the fill end in the background colour.
    setM_highlightColor(QColor(255, 52, 90));
    setM_backgroundColor(QColor(0, 160, 233));
    m_state.title = Bundle::localizedString("update");
    m_state.tmpTitleColor = m_state.titleColor;
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::clicked, this, &SButton::click_);
    refreshAccessibleText();
}

SButton::SButton(const QRectF &frame, QWidget *parent)
    : SButton(parent)
{
    AppKitFrame::setFrame(this, frame);
}

void SButton::setM_backgroundColor(const QColor &color)
{
    m_state.backgroundColor = color;
    m_state.tmpbg = color;
    update();
}

void SButton::setM_highlightColor(const QColor &color)
{
    m_state.highlightColor = color;
    m_state.tmpbg = color;
    update();
}

void SButton::setM_titleColor(const QColor &color)
{
    m_state.titleColor = color;
    update();
}

void SButton::setM_titleHighlighColor(const QColor &color)
{
    m_state.titleHighlighColor = color;
    update();
}

void SButton::setM_title(const QString &title)
{
    m_state.title = title;
    refreshAccessibleText();
    update();
}

void SButton::setM_progress(float progress)
{
    m_state.progress = progress;
    refreshAccessibleText();
    update();
}

void SButton::click_()
{
    if (SButtonDelegate *d = m_delegate.get())
        d->SButtonClick(this);
}

bool SButton::followsPointer() const
{
    return isEnabled() && m_state.title != Bundle::localizedString("success");
}

void SButton::mouseEntered()
{
    // The pointer is only followed while the window is the active one.
    if (!followsPointer() || !isActiveWindow())
        return;
    m_state.tmpbg = m_state.highlightColor;
    m_state.tmpTitleColor = m_state.titleHighlighColor;
    update();
}

void SButton::mouseExited()
{
    if (!followsPointer())
        return;
    m_state.tmpTitleColor = m_state.titleColor;
    m_state.tmpbg = m_state.backgroundColor;
    update();
}

void SButton::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    mouseEntered();
}

void SButton::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    mouseExited();
}

void SButton::keyPressEvent(QKeyEvent *event)
{
    // Space is the button's own; Enter and Return press it too.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()
        && event->modifiers() == Qt::NoModifier) {
        click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

QSize SButton::sizeHint() const
{
    return {120, 38};
}

void SButton::refreshAccessibleText()
{
    if (m_state.progress >= 100.0f) {
        setAccessibleName(m_state.title);
        setAccessibleDescription(m_state.title);
        return;
    }
    QString pattern = qtTrId("SButtonProgress");
    if (!pattern.contains(QStringLiteral("%1"))) // no translation installed
        pattern = QStringLiteral("%1%");
    const QString progress = pattern.arg(qRound(qBound(0.0f, m_state.progress, 100.0f)));
    // While writing the button shows only its fill: the progress is its name then.
    setAccessibleName(m_state.title.isEmpty() ? progress : m_state.title);
    setAccessibleDescription(progress);
}

void SButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    const QRectF outline = bounds.adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = std::min(kCornerRadius, bounds.height() / 2);

    QPainterPath shape;
    shape.addRoundedRect(outline, radius, radius);
    painter.save();
    painter.setClipPath(shape);
    const float share = qBound(0.0f, m_state.progress, 100.0f) * 0.01f;
    const QRectF fill = AppKitFrame::toQt(QRectF(0, 0, bounds.width() * share, kFillHeight), bounds.height());
    painter.fillRect(fill, m_state.tmpbg);
    painter.restore();

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    painter.setFont(font);
    painter.setPen(m_state.tmpTitleColor);
    painter.drawText(bounds, Qt::AlignCenter, m_state.title);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(m_state.tmpbg, 1));
    painter.drawRoundedRect(outline, radius, radius);

    if (hasFocus()) {
        // Keyboard focus: a dotted inner outline in the title colour.
        QPen pen(m_state.tmpTitleColor, 1, Qt::DotLine);
        painter.setPen(pen);
        const qreal inner = std::max<qreal>(radius - 3, 0);
        painter.drawRoundedRect(outline.adjusted(3, 3, -3, -3), inner, inner);
    }
}

} // namespace flashwell
