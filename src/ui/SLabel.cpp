#include "ui/SLabel.h"

#include <QFontDatabase>

namespace flashwell {

SLabel::SLabel(QWidget *parent)
    : QLabel(parent)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(16);
    setFont(font);
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::NoFrame);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setTextColor(Qt::black);
}

void SLabel::setStringValue(const QString &text)
{
    setText(text);
    setAccessibleName(text);
}

void SLabel::setTextColor(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::Text, color);
    setPalette(p);
}

QColor SLabel::textColor() const
{
    return palette().color(QPalette::WindowText);
}

void SLabel::sizeToFit()
{
    resize(sizeHint());
}

} // namespace flashwell
