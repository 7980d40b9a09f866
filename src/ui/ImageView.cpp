#include "ui/ImageView.h"

#include <QPainter>

namespace flashwell {

ImageView::ImageView(QWidget *parent)
    : QWidget(parent)
{}

void ImageView::setImage(const Picture &image)
{
    m_image = image;
    updateGeometry();
    update();
}

void ImageView::setImageNamed(const QString &name)
{
    // Layout passes set the same picture again and again: read the drawing once.
    if (!m_image.isNull() && m_image.name() == name)
        return;
    setImage(Picture::imageNamed(name));
}

QSize ImageView::sizeHint() const
{
    return m_image.isNull() ? QSize(0, 0) : m_image.size().toSize();
}

void ImageView::paintEvent(QPaintEvent *)
{
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    m_image.drawProportionallyDown(painter, QRectF(rect()));
}

} // namespace flashwell
