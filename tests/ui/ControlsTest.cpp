// Catches: a label or back button drawn or named wrongly, the grey not painted, a control the keyboard misses.
#include "ui/SBackButton.h"
#include "ui/SButton.h"
#include "ui/SLabel.h"
#include "ui/SMiniImageView.h"
#include "ui/SView.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "support/WidgetProbe.h"
#include "support/WidgetTestSupport.h"

using namespace flashwell;

TEST(SLabel, IsAPlainCentredBlackLineOfSixteenPoints)
{
    SView view;
    SLabel label;
    EXPECT_EQ(label.font().pixelSize(), 16);
    EXPECT_EQ(label.alignment(), Qt::AlignCenter);
    EXPECT_EQ(label.frameShape(), QFrame::NoFrame);
    EXPECT_EQ(label.textInteractionFlags(), Qt::NoTextInteraction);
    EXPECT_FALSE(label.autoFillBackground());
    EXPECT_EQ(label.textColor(), QColor(Qt::black));
    label.setStringValue(QStringLiteral("1. Unplug the cable"));
    label.sizeToFit();
    EXPECT_EQ(label.accessibleName(), QStringLiteral("1. Unplug the cable"));
    EXPECT_GE(label.width(), label.fontMetrics().horizontalAdvance(label.text()));

    // Drawn on a grey view, the label adds only its text: the view around it shows the grey.
    view.resize(300, 40);
    label.setParent(&view);
    label.move(0, 0);
    const QImage image = test::render(view);
    EXPECT_EQ(SView::screenGrey(), QColor(236, 236, 236));
    for (const QPoint p : {QPoint(1, 1), QPoint(299, 39), QPoint(298, 2)})
        EXPECT_EQ(test::pixel(image, p.x(), p.y()), SView::screenGrey());
    bool dark = false;
    for (int x = 0; x < label.width() && !dark; ++x)
        dark = qGray(image.pixel(x, label.height() / 2)) < 100;
    EXPECT_TRUE(dark);
}

TEST(SBackButton, IsNamedInBothLanguagesAndAnswersTheKeyboard)
{
    for (const char *language : {"en", "zh_CN"}) {
        test::ScopedTranslations texts(QString::fromLatin1(language));
        SBackButton button;
        EXPECT_EQ(button.size(), QSize(30, 30));
        EXPECT_EQ(button.image().name(), QStringLiteral("back"));
        EXPECT_NE(button.accessibleName(), QStringLiteral("back")) << language; // translated, not the key
        EXPECT_FALSE(button.accessibleName().isEmpty());
        EXPECT_NE(button.accessibleDescription(), QStringLiteral("backHint")) << language;
        QSignalSpy clicks(&button, &QAbstractButton::clicked);
        test::showFocused(button);
        QTest::keyClick(&button, Qt::Key_Space);
        QTest::keyClick(&button, Qt::Key_Return);
        QTest::mouseClick(&button, Qt::LeftButton);
        EXPECT_EQ(clicks.count(), 3) << language;
    }
}

TEST(Controls, TheKeyboardReachesEveryClickableControl)
{
    SView panel;
    panel.resize(400, 200);
    auto *back = new SBackButton(&panel);
    auto *button = new SButton(QRectF(50, 20, 120, 38), &panel);
    auto *clickable = new SMiniImageView(QRectF(200, 80, 110, 90), &panel);
    clickable->setIsClick(true);
    auto *selected = new SMiniImageView(QRectF(200, 0, 110, 90), &panel);
    selected->setIsClick(true);
    selected->setIsSelect(true);
    auto *label = new SLabel(&panel);
    label->setStringValue(QStringLiteral("not a control"));
    panel.show();
    test::showFocused(*back);

    QList<QWidget *> reached;
    for (int i = 0; i < 6; ++i) {
        QWidget *focus = QApplication::focusWidget();
        if (focus && !reached.contains(focus))
            reached << focus;
        QTest::keyClick(focus ? focus : &panel, Qt::Key_Tab);
    }
    EXPECT_TRUE(reached.contains(back));
    EXPECT_TRUE(reached.contains(button));
    EXPECT_TRUE(reached.contains(clickable));
    EXPECT_FALSE(reached.contains(selected));
    EXPECT_FALSE(reached.contains(label));
    // The frames went through the bottom-up conversion.
    EXPECT_EQ(button->geometry(), QRect(50, 200 - 20 - 38, 120, 38));
    EXPECT_EQ(clickable->geometry(), QRect(200, 30, 110, 90));
}
