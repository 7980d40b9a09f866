#pragma once

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QEnterEvent>
#include <QImage>
#include <QRect>
#include <QWidget>

#include <functional>

namespace flashwell::test {

// The pointer arriving over a widget and leaving it, as the window system reports them.
inline void enter(QWidget &widget)
{
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&widget, &event);
}

inline void leave(QWidget &widget)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&widget, &event);
}

// Shown in an active window with the keyboard focus, as a person's press finds it.
inline void showFocused(QWidget &widget)
{
    widget.show();
    QApplication::setActiveWindow(widget.window());
    widget.setFocus(Qt::TabFocusReason);
}

inline QColor pixel(const QImage &image, int x, int y)
{
    return QColor::fromRgb(image.pixel(x, y));
}

// The smallest rectangle holding every pixel that `inked` accepts (empty when none does).
inline QRect inkRect(const QImage &image, const std::function<bool(const QColor &)> &inked)
{
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (inked(QColor::fromRgba(image.pixel(x, y))))
                ink |= QRect(x, y, 1, 1);
    return ink;
}

// Saves the widget as drawn under $FLASHWELL_SCREENSHOTS/<name>.png when that is set.
inline void screenshot(QWidget &widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("FLASHWELL_SCREENSHOTS");
    if (!dir.isEmpty())
        widget.grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

} // namespace flashwell::test
