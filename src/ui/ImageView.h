#pragma once

#include "ui/Picture.h"

#include <QWidget>

namespace flashwell {

// A view that shows one picture centred and scaled proportionally down to fit.
class ImageView : public QWidget
{
    Q_OBJECT

public:
    explicit ImageView(QWidget *parent = nullptr);

    const Picture &image() const { return m_image; }
    void setImage(const Picture &image);
    // Looks the picture up by name (an empty picture and one warning when it is missing).
    void setImageNamed(const QString &name);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Picture m_image;
};

} // namespace flashwell
