#pragma once

#include "ui/Picture.h"

#include <QAbstractButton>

namespace flashwell {

// The borderless 30 x 30 back button showing the picture "back".
class SBackButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit SBackButton(QWidget *parent = nullptr);

    const Picture &image() const { return m_image; }
    QSize sizeHint() const override { return {30, 30}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    Picture m_image;
};

} // namespace flashwell
