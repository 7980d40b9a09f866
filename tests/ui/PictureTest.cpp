// Catches: a missing picture not empty or not reported once, a picture scaled up, out of proportion or off centre.
#include "ui/Picture.h"
#include "ui/ImageView.h"

#include <QPainter>

#include <gtest/gtest.h>

#include "support/WidgetProbe.h"
#include "support/WidgetTestSupport.h"

using flashwell::Picture;

TEST(Picture, MissingNameGivesAnEmptyPictureAndOneWarning)
{
    for (const char *name : {"no_such_picture", "", "../ui/test_frame", "test_frame.svg"}) {
        flashwell::test::WarningCounter warnings;
        const Picture picture = Picture::imageNamed(QString::fromLatin1(name));
        EXPECT_TRUE(picture.isNull()) << name;
        EXPECT_TRUE(picture.pixmap(QSize(10, 10)).isNull()) << name;
        EXPECT_EQ(warnings.count(), 1) << name;
        // Drawing an empty picture is harmless.
        flashwell::ImageView view;
        view.setImage(picture);
        view.resize(20, 20);
        (void)view.grab();
    }
}

TEST(Picture, ImageViewDrawsItsPictureCentredAndProportionallyDown)
{
    const struct
    {
        QSize view;
        QRect drawn;
    } rows[] = {
        {{100, 60}, {30, 20, 40, 20}}, // larger view: own size, centred
        {{20, 20}, {0, 5, 20, 10}},    // narrower: scaled to the width
        {{80, 10}, {30, 0, 20, 10}},   // lower: scaled to the height
    };
    for (const auto &row : rows) {
        flashwell::ImageView view;
        view.setImageNamed(QStringLiteral("test_frame"));
        view.resize(row.view);
        const QRect ink = flashwell::test::inkRect(flashwell::test::render(view),
                                                   [](const QColor &c) { return c == QColor(0x10, 0x20, 0x30); });
        EXPECT_EQ(ink, row.drawn) << row.view.width() << "x" << row.view.height();
    }
    EXPECT_EQ(flashwell::ImageView().sizeHint(), QSize(0, 0));
}
