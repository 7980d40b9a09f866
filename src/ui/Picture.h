#pragma once

#include <QPixmap>
#include <QSizeF>
#include <QString>

#include <memory>

class QPainter;
class QRectF;
class QSvgRenderer;

namespace flashwell {

// A picture of the bundle, looked up by name: the vector drawing ":/images/NAME.svg", so it
// stays sharp at every scale factor. Copies share one renderer.
class Picture final
{
public:
    Picture() = default;

    // The picture of that name; an empty picture and one warning when the resources lack it or
    // it cannot be read.
    static Picture imageNamed(const QString &name);
    // The resource path a name is looked up at.
    static QString resourcePathFor(const QString &name);

    bool isNull() const { return !m_renderer; }
    // The name asked for (kept by an empty picture too).
    const QString &name() const { return m_name; }
    // The drawing's own size in points (its view box).
    QSizeF size() const;

    // Draws into `target` scaled proportionally down to fit (never enlarged) and centred.
    void drawProportionallyDown(QPainter &painter, const QRectF &target) const;
    // The area that drawProportionallyDown covers inside `target`.
    QRectF proportionallyDownRect(const QRectF &target) const;
    // A pixmap of the given size in points for a screen of that pixel ratio.
    QPixmap pixmap(const QSize &size, qreal devicePixelRatio = 1.0) const;

private:
    std::shared_ptr<QSvgRenderer> m_renderer;
    QString m_name;
};

} // namespace flashwell
