#include "update/DeviceManualView.h"
#include "device/SFenwykDevice.h"
#include "ui/AppKitFrame.h"
#include "ui/ImageView.h"
#include "ui/SLabel.h"

#include <gtest/gtest.h>

#include "GuideContract.h"
#include "support/TestSupport.h"
#include "support/WidgetTestSupport.h"

#include <cmath>

using namespace flashwell;

namespace {

SFenwykDevicePtr device(int32_t type, const char *name = "Fenwyk Test", bool receiverGuide = false)
{
    auto d = std::make_shared<SFenwykDevice>();
    d->setDetails(test::entry(0x1234, 0x2dc8, type, name));
    d->isManuanlViewRR = receiverGuide ? 1 : 0;
    return d;
}

QStringList shownLines(const DeviceManualView &view)
{
    return {view.oneHintLabel()->text(), view.twoHintLabel()->text(), view.threeHintLabel()->text()};
}

QStringList localizedLines(const QStringList &keys)
{
    QStringList out;
    for (const QString &key : keys)
        out << qtTrId(key.toLatin1().constData());
    while (out.size() < 3)
        out << QString();
    return out;
}

// Builds the guide for a device at the update screen's size.
struct Guide
{
    explicit Guide(SFenwykDevicePtr d, bool error = false, QSize size = {830, 600})
    {
        view.resize(size);
        view.setDevice(std::move(d));
        view.setError(error);
    }
    DeviceManualView view;
};

} // namespace

TEST(DeviceManualView, EveryKeyShowsItsPictureAndLines)
{
    test::ScopedTranslations english(QStringLiteral("en"));
    const auto contract = test::guideContract();
    ASSERT_EQ(contract.size(), 49u);
    for (const auto &[key, expected] : contract) {
        Guide guide(device(key));
        EXPECT_EQ(guide.view.mainImageView()->image().name(), expected.picture) << "key " << key;
        EXPECT_EQ(shownLines(guide.view), localizedLines(expected.keys)) << "key " << key;
        EXPECT_EQ(guide.view.threeHintLabel()->text().isEmpty(), expected.keys.size() == 2) << "key " << key;
        EXPECT_EQ(guide.view.submainImageView()->isHidden(), key != 1) << "key " << key;
    }
    // The view's own table has exactly these rows, one per key.
    std::map<int, int> seen;
    for (const auto &row : DeviceManualView::typeRows())
        ++seen[row.key];
    for (const auto &row : DeviceManualView::keyedRows())
        ++seen[row.key];
    for (const auto &[key, count] : seen) {
        EXPECT_EQ(count, 1) << "key " << key;
        EXPECT_TRUE(contract.count(key)) << "key " << key;
    }
    EXPECT_EQ(seen.size(), contract.size());
}

TEST(DeviceManualView, ReceiverFlagShowsTheNextTypesGuide)
{
    test::ScopedTranslations english(QStringLiteral("en"));
    const auto contract = test::guideContract();
    const struct
    {
        int type;
        int shownKey;
    } rows[] = {
        {4, 5}, // the type row of 4 is replaced by key 5 (same picture and set)
        {5, 6},   {20, 21}, {7, 8}, {58, 59}, {59, 60}, {1, 2}, // type 1's second picture goes with the replaced row
        {34, 35},
    };
    for (const auto &row : rows) {
        Guide guide(device(row.type, "Fenwyk Test", true));
        const auto &expected = contract.at(row.shownKey);
        EXPECT_EQ(guide.view.mainImageView()->image().name(), expected.picture) << "type " << row.type;
        EXPECT_EQ(shownLines(guide.view), localizedLines(expected.keys)) << "type " << row.type;
        EXPECT_TRUE(guide.view.submainImageView()->isHidden()) << "type " << row.type;
    }
}

TEST(DeviceManualView, FPictureFollowsTheModelPartOfTheName)
{
    const struct
    {
        int type;
        const char *name;
        bool receiverGuide;
        const char *picture;
    } rows[] = {
        {2, "Fenwyk Dove F2", false, "guide_2_F"},
        {2, "Fenwyk Dove", false, "guide_2"}, // the maker's "F" does not count
        {2, "Fenwyk Wren", false, "guide_2"},
        {2, "Fenwyk Falcon", false, "guide_2_F"},
        {2, "Fenwyk dove f2", false, "guide_2"}, // a capital F only
        {7, "Fenwyk Nightjar F1", false, "guide_7_F"},
        {7, "Fenwyk Nightjar", false, "guide_7"},
        {6, "Fenwyk Nightjar F1", true, "guide_7_F"}, // receiver's guide of type 6 is key 7
        {3, "Fenwyk Dove F2", false, "guide_3"},      // other rows have one picture
        {2, "Dove F2", false, "guide_2_F"},           // a name without the maker's word
    };
    for (const auto &row : rows) {
        Guide guide(device(row.type, row.name, row.receiverGuide));
        EXPECT_EQ(guide.view.mainImageView()->image().name(), QString::fromLatin1(row.picture)) << row.name;
    }
}

TEST(DeviceManualView, TypeOneShowsTwoPicturesAtFixedFrames)
{
    for (const QSize size : {QSize(830, 600), QSize(900, 700)}) {
        Guide guide(device(1), false, size);
        EXPECT_EQ(guide.view.mainImageView()->image().name(), QStringLiteral("guide_1"));
        EXPECT_EQ(guide.view.submainImageView()->image().name(), QStringLiteral("guide_1_sub"));
        EXPECT_EQ(AppKitFrame::frame(guide.view.mainImageView()), QRectF(220, 350, 370, 200));
        EXPECT_EQ(AppKitFrame::frame(guide.view.submainImageView()), QRectF(245, 250, 320, 100));
        EXPECT_EQ(guide.view.mainImageView()->geometry(), QRect(220, size.height() - 550, 370, 200));
        EXPECT_FALSE(guide.view.submainImageView()->isHidden());
        // The extra pictures exist but never show.
        EXPECT_TRUE(guide.view.subImageView()->isHidden());
        EXPECT_TRUE(guide.view.subsubImageView()->isHidden());
        EXPECT_EQ(guide.view.subImageView()->image().name(), QStringLiteral("guide_1_sub"));
    }
    // Another device afterwards gets the standard frame and no second picture.
    Guide guide(device(1));
    guide.view.setDevice(device(3));
    EXPECT_EQ(AppKitFrame::frame(guide.view.mainImageView()), QRectF(140, 280, 550, 260));
    EXPECT_TRUE(guide.view.submainImageView()->isHidden());
}

TEST(DeviceManualView, LinesShareOneLeftEdgeBelowThePicture)
{
    test::ScopedTranslations english(QStringLiteral("en"));
    const struct
    {
        QSize size;
        int type;
    } rows[] = {
        {{830, 600}, 3}, {{831, 601}, 3}, {{700, 500}, 23}, {{830, 600}, 6}, {{1000, 640}, 51},
    };
    for (const auto &row : rows) {
        Guide guide(device(row.type), false, row.size);
        const DeviceManualView &v = guide.view;
        EXPECT_EQ(v.m_widht(), row.size.width());
        EXPECT_EQ(v.m_heigh(), row.size.height());
        // The picture: centred, its top at 90 % of the height (bottom-up).
        const float pictureY = 0.9f * static_cast<float>(row.size.height()) - 260.0f;
        const QRectF picture =
            AppKitFrame::toQt(QRectF((row.size.width() - 550) / 2.0, pictureY, 550, 260), row.size.height());
        EXPECT_EQ(v.mainImageView()->geometry(), picture.toRect()) << row.size.width();

        const SLabel *lines[] = {v.oneHintLabel(), v.twoHintLabel(), v.threeHintLabel()};
        int widest = 0;
        for (const SLabel *line : lines)
            widest = std::max(widest, line->width());
        const int left = static_cast<int>(std::trunc((row.size.width() - widest) / 2.0));
        // Bottom-up: the first line's bottom 60 points below the picture's bottom (truncated).
        int bottomUp = static_cast<int>(std::trunc(pictureY)) - 60;
        for (int i = 0; i < 3; ++i) {
            const SLabel *line = lines[i];
            if (i > 0)
                bottomUp -= 20 + line->height();
            EXPECT_EQ(line->x(), left) << "line " << i << " at " << row.size.width();
            EXPECT_EQ(line->geometry().bottom() + 1, row.size.height() - bottomUp) << "line " << i;
            EXPECT_GE(line->width(), line->fontMetrics().horizontalAdvance(line->text())) << "line " << i;
        }
        // Top-down: 20 points of space between consecutive lines.
        EXPECT_EQ(lines[1]->y() - (lines[0]->y() + lines[0]->height()), 20);
        EXPECT_EQ(lines[2]->y() - (lines[1]->y() + lines[1]->height()), 20);
    }
}

TEST(DeviceManualView, ErrorFormTurnsThreesIntoEightsAndAllLinesRed)
{
    test::ScopedTranslations english(QStringLiteral("en"));
    const auto contract = test::guideContract();
    for (int key : {1, 3, 6, 23, 51}) {
        Guide guide(device(key), true);
        QStringList expected = localizedLines(contract.at(key).keys);
        expected[0].replace(QLatin1Char('3'), QLatin1Char('8'));
        EXPECT_EQ(shownLines(guide.view), expected) << "key " << key;
        for (const SLabel *line : {guide.view.oneHintLabel(), guide.view.twoHintLabel(), guide.view.threeHintLabel()})
            EXPECT_EQ(line->textColor(), QColor(Qt::red)) << "key " << key;
        // Back to the normal form: black, and the first line as written.
        guide.view.setError(false);
        EXPECT_EQ(shownLines(guide.view), localizedLines(contract.at(key).keys)) << "key " << key;
        EXPECT_EQ(guide.view.oneHintLabel()->textColor(), QColor(Qt::black));
    }

    // The replacement itself, on lines that certainly hold threes (a type without a row keeps them).
    Guide guide(device(99));
    guide.view.setMainImageView(QStringLiteral("guide_3"), QStringLiteral("1. Wait 3 seconds, then 33 more."),
                                QStringLiteral("2. Hold 3 buttons."), QStringLiteral("3."));
    guide.view.setError(true);
    EXPECT_EQ(shownLines(guide.view), (QStringList{QStringLiteral("1. Wait 8 seconds, then 88 more."),
                                                   QStringLiteral("2. Hold 3 buttons."), QStringLiteral("3.")}));
    EXPECT_TRUE(guide.view.accessibleDescription().contains(QStringLiteral("Wait 8 seconds")));
}

TEST(DeviceManualView, TypeWithoutARowKeepsWhatTheGuideShowed)
{
    test::ScopedTranslations english(QStringLiteral("en"));
    const auto contract = test::guideContract();
    for (int type : {0, 11, 29, 61, 99, -3}) {
        Guide guide(device(3));
        const QStringList before = shownLines(guide.view);
        guide.view.setDevice(device(type));
        EXPECT_EQ(guide.view.mainImageView()->image().name(), QStringLiteral("guide_3")) << type;
        EXPECT_EQ(shownLines(guide.view), before) << type;
    }
    // No device at all, or one without a catalogue entry, changes nothing either.
    Guide guide(device(6));
    guide.view.setDevice(nullptr);
    EXPECT_EQ(guide.view.mainImageView()->image().name(), QStringLiteral("guide_6"));
    auto unknown = std::make_shared<SFenwykDevice>();
    guide.view.setDevice(unknown);
    EXPECT_EQ(guide.view.mainImageView()->image().name(), QStringLiteral("guide_6"));
    EXPECT_EQ(shownLines(guide.view), localizedLines(contract.at(6).keys));
}
