#pragma once

#include "platform/WeakDelegate.h"
#include "ui/SButtonDelegate.h"

#include <QAbstractButton>
#include <QColor>

namespace flashwell {

// The drawn action button: a rounded outline with a left-to-right fill (the progress bar of an
// update) and a centred title. The fill and outline take the highlight colour while the pointer
// is over an enabled button, except once its title reads "success".
class SButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit SButton(QWidget *parent = nullptr);
    // initWithFrame: a bottom-up frame inside the parent.
    SButton(const QRectF &frame, QWidget *parent);

    float m_progress() const { return m_state.progress; }
    const QString &m_title() const { return m_state.title; }
    const QColor &m_backgroundColor() const { return m_state.backgroundColor; }
    const QColor &m_highlightColor() const { return m_state.highlightColor; }
    const QColor &m_titleColor() const { return m_state.titleColor; }
    const QColor &m_titleHighlighColor() const { return m_state.titleHighlighColor; }
    // The colours in use now: fill and outline, and title.
    const QColor &m_tmpbg() const { return m_state.tmpbg; }
    const QColor &m_tmpTitleColor() const { return m_state.tmpTitleColor; }

    void setM_backgroundColor(const QColor &color);
    void setM_highlightColor(const QColor &color);
    void setM_titleColor(const QColor &color);
    void setM_titleHighlighColor(const QColor &color);
    void setM_title(const QString &title);
    // 0 to 100: the share of the width filled.
    void setM_progress(float progress);

    // Held weakly: the controller that owns the button is usually its delegate.
    SButtonDelegate *delegate() const { return m_delegate.get(); }
    void setDelegate(SButtonDelegate *delegate) { m_delegate.set(delegate); }

    // The pointer entered or left the button (called from the enter and leave events).
    void mouseEntered();
    void mouseExited();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void click_();
    bool followsPointer() const;
    void refreshAccessibleText();

    struct State
    {
        float progress = 100.0f;
        QString title;
        QColor backgroundColor;
        QColor highlightColor;
        QColor titleColor = Qt::white;
        QColor titleHighlighColor = Qt::black;
        QColor tmpbg;
        QColor tmpTitleColor = Qt::white;
    } m_state;
    WeakDelegate<SButtonDelegate> m_delegate;
};

} // namespace flashwell
