#include "ui/DeviceLineButton.h"

#include <QFontDatabase>
#include <QKeyEvent>

namespace flashwell {

DeviceLineButton::DeviceLineButton(const QString &text, QWidget *parent)
    : QPushButton(text, parent)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(16);
    setFont(font);
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(text);
    // A line of text until it is pointed at or has the focus; then it shows it can be pressed.
    setStyleSheet(
        QStringLiteral("QPushButton { border: none; background: transparent; color: black; padding: 0; }"
                       "QPushButton:hover, QPushButton:focus { color: #00a0e9; text-decoration: underline; }"));
}

void DeviceLineButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

} // namespace flashwell
