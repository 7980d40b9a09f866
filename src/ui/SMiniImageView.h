#pragma once

#include "platform/WeakDelegate.h"
#include "ui/ImageView.h"
#include "ui/SMiniImageViewDelegate.h"

#include <QColor>

namespace flashwell {

// A small product picture that can be chosen: a blue outline while the pointer is over it, an
// orange one once selected. Only a clickable picture that is not selected reacts.
class SMiniImageView : public ImageView
{
    Q_OBJECT

public:
    explicit SMiniImageView(QWidget *parent = nullptr);
    // initWithFrame: a bottom-up frame inside the parent.
    SMiniImageView(const QRectF &frame, QWidget *parent);

    bool isSelect() const { return m_isSelect; }
    void setIsSelect(bool select);
    bool isClick() const { return m_isClick; }
    void setIsClick(bool click);

    SMiniImageViewDelegate *delegate() const { return m_delegate.get(); }
    void setDelegate(SMiniImageViewDelegate *delegate) { m_delegate.set(delegate); }

    // The outline as drawn now (width 0: none).
    int borderWidth() const { return m_borderWidth; }
    const QColor &borderColor() const { return m_borderColor; }

    // The pointer went down on, entered or left the picture (called from the mouse events).
    void mouseDown();
    void mouseEntered();
    void mouseExited();

    // Whether a click (or Space) would choose the picture now.
    bool reacts() const { return m_isClick && !m_isSelect; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void refreshFocusPolicy();

    bool m_isSelect = false;
    bool m_isClick = false;
    int m_borderWidth = 0;
    QColor m_borderColor;
    WeakDelegate<SMiniImageViewDelegate> m_delegate;
};

} // namespace flashwell
