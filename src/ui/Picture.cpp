#include "ui/Picture.h"

#include "ui/UiLogging.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

namespace flashwell {

QString Picture::resourcePathFor(const QString &name)
{
    return QStringLiteral(":/images/") + name + QStringLiteral(".svg");
}

Picture Picture::imageNamed(const QString &name)
{
    // An empty picture still remembers the name it was asked for.
    Picture picture;
    picture.m_name = name;
    const QString path = resourcePathFor(name);
    if (name.isEmpty() || !QFile::exists(path)) {
        qCWarning(lcUi).noquote() << "picture" << (name.isEmpty() ? QStringLiteral("(no name)") : name)
                                  << "is not among the resources";
        return picture;
    }
    auto renderer = std::make_shared<QSvgRenderer>();
    if (!renderer->load(path) || !renderer->isValid() || renderer->viewBoxF().isEmpty()) {
        qCWarning(lcUi).noquote() << "picture" << name << "cannot be read as a drawing (" << path << ")";
        return picture;
    }
    picture.m_renderer = std::move(renderer);
    return picture;
}

QSizeF Picture::size() const
{
    return m_renderer ? m_renderer->viewBoxF().size() : QSizeF();
}

QRectF Picture::proportionallyDownRect(const QRectF &target) const
{
    const QSizeF own = size();
    if (own.isEmpty() || target.isEmpty())
        return {};
    QSizeF drawn = own;
    if (own.width() > target.width() || own.height() > target.height())
        drawn = own.scaled(target.size(), Qt::KeepAspectRatio);
    return {target.x() + (target.width() - drawn.width()) / 2, target.y() + (target.height() - drawn.height()) / 2,
            drawn.width(), drawn.height()};
}

void Picture::drawProportionallyDown(QPainter &painter, const QRectF &target) const
{
    const QRectF area = proportionallyDownRect(target);
    if (!area.isEmpty())
        m_renderer->render(&painter, area);
}

QPixmap Picture::pixmap(const QSize &size, qreal devicePixelRatio) const
{
    if (!m_renderer || size.isEmpty())
        return {};
    QPixmap out(size * devicePixelRatio);
    out.setDevicePixelRatio(devicePixelRatio);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::Antialiasing);
    m_renderer->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return out;
}

} // namespace flashwell
