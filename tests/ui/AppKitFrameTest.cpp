// Catches: a bottom-up frame flipped wrongly inside its parent, or a window moved when only its size may change.
#include "ui/AppKitFrame.h"

#include <QWidget>

#include <gtest/gtest.h>

using flashwell::AppKitFrame;

TEST(AppKitFrame, FlipsBottomUpFramesInsideTheParent)
{
    const struct
    {
        QRectF frame;
        qreal parentHeight;
        QRectF rect;
    } rows[] = {
        {{0, 0, 200, 40}, 40, {0, 0, 200, 40}},           // fills its parent
        {{0, 0, 80, 40}, 100, {0, 60, 80, 40}},           // bottom edge stays at the bottom
        {{220, 350, 370, 200}, 600, {220, 50, 370, 200}}, // the type-1 guide picture
        {{140, 280, 550, 260}, 600, {140, 60, 550, 260}},
        {{10, -5, 20, 10}, 30, {10, 25, 20, 10}}, // below the parent's bottom
    };
    for (const auto &row : rows) {
        EXPECT_EQ(AppKitFrame::toQt(row.frame, row.parentHeight), row.rect) << row.frame.y();
        EXPECT_EQ(AppKitFrame::fromQt(row.rect, row.parentHeight), row.frame) << row.frame.y();
    }
}

TEST(AppKitFrame, PlacesChildWidgetsAndReadsTheirFramesBack)
{
    QWidget parent;
    parent.resize(830, 600);
    QWidget child(&parent);
    AppKitFrame::setFrame(&child, QRectF(355, 30, 120, 38));
    EXPECT_EQ(child.geometry(), QRect(355, 532, 120, 38));
    EXPECT_EQ(AppKitFrame::frame(&child), QRectF(355, 30, 120, 38));

    // A window has no parent to flip inside: only the size applies.
    QWidget window;
    window.move(5, 7);
    AppKitFrame::setFrame(&window, QRectF(100, 100, 300, 200));
    EXPECT_EQ(window.size(), QSize(300, 200));
    EXPECT_EQ(window.pos(), QPoint(5, 7));
}
