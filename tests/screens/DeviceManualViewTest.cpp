// Catches: a guide with the wrong row, picture, lines or layout, a wrong error form, or another kind of device.
#include "screens/DeviceManualView.h"
#include "device/SFenwykDevice.h"
#include "device/SFenwykDeviceDetailsTools.h"
#include "ui/AppKitFrame.h"
#include "ui/ImageView.h"
#include "ui/SLabel.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "support/WidgetTestSupport.h"

#include <cmath>
#include <map>
#include <set>

using namespace flashwell;
using guide_table::GuideRow;

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

// A row's lines as the guide shows them: localised, the third empty when the row has two.
QStringList rowLines(const GuideRow &row)
{
    QStringList out;
    for (const char *key : row.lines)
        out << (key ? qtTrId(key) : QString());
    return out;
}

// The shipped row of a key, from either table.
const GuideRow &rowWithKey(int key)
{
    for (auto rows : {DeviceManualView::typeRows(), DeviceManualView::keyedRows()})
        for (const GuideRow &row : rows)
            if (row.key == key)
                return row;
    ADD_FAILURE() << "no row for key " << key;
    return DeviceManualView::typeRows().front();
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

TEST(DeviceManualView, EveryRowOfTheTableShowsItsPictureAndLines)
{
    test::ScopedTranslations english(QStringLiteral("en"));
    std::set<int> keys;
    for (auto rows : {DeviceManualView::typeRows(), DeviceManualView::keyedRows()}) {
        for (const GuideRow &row : rows) {
            EXPECT_TRUE(keys.insert(row.key).second) << "key " << row.key << " has two rows";
            Guide guide(device(row.key));
            EXPECT_EQ(guide.view.mainImageView()->image().name(), QString::fromLatin1(row.picture)) << row.key;
            EXPECT_EQ(shownLines(guide.view), rowLines(row)) << "key " << row.key;
            EXPECT_EQ(guide.view.submainImageView()->isHidden(), row.key != 1) << "key " << row.key;
        }
    }
    // Every key from 1 to 60 has a row, but those of the products that get the recovery guide.
    std::set<int> expected;
    for (int key = 1; key <= 60; ++key)
        expected.insert(key);
    for (int key : {12, 17, 18, 19, 29, 32, 56})
        expected.erase(key);
    EXPECT_EQ(keys, expected);
}

TEST(DeviceManualView, AReceiversGuideIsTheNextKeysAndTheFPictureFollowsTheModelName)
{
    test::ScopedTranslations english(QStringLiteral("en"));
    const struct
    {
        int type;
        const char *name;
        bool receiverGuide;
        int shownKey;
        const char *picture;
    } rows[] = {
        {4, "Fenwyk Test", true, 5, "guide_4"}, // the type row of 4 is replaced by key 5
        {5, "Fenwyk Test", true, 6, "guide_6"},
        {20, "Fenwyk Test", true, 21, "guide_21"},
        {7, "Fenwyk Test", true, 8, "guide_8"},
        {58, "Fenwyk Test", true, 59, "guide_59"},
        {59, "Fenwyk Test", true, 60, "guide_60"},
        {1, "Fenwyk Test", true, 2, "guide_2"}, // type 1's second picture goes with the replaced row
        {34, "Fenwyk Test", true, 35, "guide_35"},
        {2, "Fenwyk Dove F2", false, 2, "guide_2_F"},
        {2, "Fenwyk Dove", false, 2, "guide_2"}, // the maker's "F" does not count
        {2, "Fenwyk Wren", false, 2, "guide_2"},
        {2, "Fenwyk Falcon", false, 2, "guide_2_F"},
        {2, "Fenwyk dove f2", false, 2, "guide_2"}, // a capital F only
        {7, "Fenwyk Nightjar F1", false, 7, "guide_7_F"},
        {7, "Fenwyk Nightjar", false, 7, "guide_7"},
        {6, "Fenwyk Nightjar F1", true, 7, "guide_7_F"},
        {3, "Fenwyk Dove F2", false, 3, "guide_3"}, // other rows have one picture
        {2, "Dove F2", false, 2, "guide_2_F"},      // a name without the maker's word
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << row.name << " of type " << row.type << (row.receiverGuide ? " (receiver)" : ""));
        Guide guide(device(row.type, row.name, row.receiverGuide));
        EXPECT_EQ(guide.view.mainImageView()->image().name(), QString::fromLatin1(row.picture));
        EXPECT_EQ(shownLines(guide.view), rowLines(rowWithKey(row.shownKey)));
        EXPECT_TRUE(guide.view.submainImageView()->isHidden());
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
    for (int key : {1, 3, 6, 23, 51}) {
        Guide guide(device(key), true);
        QStringList expected = rowLines(rowWithKey(key));
        expected[0].replace(QLatin1Char('3'), QLatin1Char('8'));
        EXPECT_EQ(shownLines(guide.view), expected) << "key " << key;
        for (const SLabel *line : {guide.view.oneHintLabel(), guide.view.twoHintLabel(), guide.view.threeHintLabel()})
            EXPECT_EQ(line->textColor(), QColor(Qt::red)) << "key " << key;
        // The failure is said in words on screen, above the picture, not only to screen readers.
        const SLabel *failed = guide.view.errorHintLabel();
        EXPECT_FALSE(failed->isHidden()) << "key " << key;
        EXPECT_EQ(failed->text(), qtTrId("guideErrorHint")) << "key " << key;
        EXPECT_EQ(failed->textColor(), QColor(Qt::red));
        EXPECT_GE(failed->width(), failed->fontMetrics().horizontalAdvance(failed->text())) << "key " << key;
        EXPECT_TRUE(guide.view.rect().contains(failed->geometry())) << "key " << key;
        EXPECT_LE(failed->geometry().bottom(), guide.view.mainImageView()->geometry().top()) << "key " << key;
        // Back to the normal form: black, and the first line as written.
        guide.view.setError(false);
        EXPECT_TRUE(guide.view.errorHintLabel()->isHidden()) << "key " << key;
        EXPECT_EQ(shownLines(guide.view), rowLines(rowWithKey(key))) << "key " << key;
        EXPECT_EQ(guide.view.oneHintLabel()->textColor(), QColor(Qt::black));
    }

    // The replacement itself, on lines that certainly hold threes (a guide without a device keeps them).
    Guide guide(nullptr);
    guide.view.setMainImageView(QStringLiteral("guide_3"), QStringLiteral("1. Wait 3 seconds, then 33 more."),
                                QStringLiteral("2. Hold 3 buttons."), QStringLiteral("3."));
    guide.view.setError(true);
    EXPECT_EQ(shownLines(guide.view), (QStringList{QStringLiteral("1. Wait 8 seconds, then 88 more."),
                                                   QStringLiteral("2. Hold 3 buttons."), QStringLiteral("3.")}));
    EXPECT_TRUE(guide.view.accessibleDescription().contains(QStringLiteral("Wait 8 seconds")));
}

TEST(DeviceManualView, TypeWithoutARowShowsTheRecoveryGuideWithTheProductsOwnPicture)
{
    test::ScopedTranslations english(QStringLiteral("en"));
    const QStringList recovery = {qtTrId("guideRecover_1"), qtTrId("guideRecover_2"), qtTrId("guideRecover_3")};
    for (const bool error : {false, true}) {
        // Whatever the guide showed before (a type-1 guide has a second picture) must not stay.
        for (const int before : {1, 3, 6}) {
            for (const int type : {12, 17, 18, 0, 19, 29, 61, 99, -3}) {
                Guide guide(device(before), error);
                auto d = device(type, "Fenwyk Heron");
                d->details()->moreImage = QStringLiteral("more_heron");
                guide.view.setDevice(d);
                EXPECT_EQ(guide.view.mainImageView()->image().name(), QStringLiteral("more_heron")) << type;
                QStringList expected = recovery;
                if (error)
                    expected[0].replace(QLatin1Char('3'), QLatin1Char('8'));
                EXPECT_EQ(shownLines(guide.view), expected) << type << " after " << before;
                EXPECT_TRUE(guide.view.submainImageView()->isHidden()) << type << " after " << before;
                EXPECT_EQ(guide.view.errorHintLabel()->isHidden(), !error) << type;
                EXPECT_EQ(guide.view.oneHintLabel()->textColor(), error ? QColor(Qt::red) : QColor(Qt::black));
            }
        }
    }
    // A device without a catalogue entry: the plain device picture, the same steps.
    Guide guide(device(6));
    guide.view.setDevice(std::make_shared<SFenwykDevice>());
    EXPECT_EQ(guide.view.mainImageView()->image().name(), QStringLiteral("device_default"));
    EXPECT_EQ(shownLines(guide.view), recovery);
    // No device at all changes nothing.
    Guide kept(device(6));
    kept.view.setDevice(nullptr);
    EXPECT_EQ(kept.view.mainImageView()->image().name(), QStringLiteral("guide_6"));
    EXPECT_EQ(shownLines(kept.view), rowLines(rowWithKey(6)));
}

TEST(DeviceManualView, EveryProductsGuideShowsItsOwnKindOfDevice)
{
    using Kind = guide_table::Kind;
    // What each product is, by its catalogue pid, as the artwork draws it.
    const std::map<uint16_t, Kind> kinds = {
        {0x3010, Kind::Gamepad},     {0x3020, Kind::Gamepad},  {0x3021, Kind::Gamepad},  {0x3022, Kind::Gamepad},
        {0x3023, Kind::Gamepad},     {0x3112, Kind::Gamepad},  {0x3113, Kind::Gamepad},  {0x3114, Kind::Receiver},
        {0xA5A5, Kind::Receiver},    {0x2DC8, Kind::Receiver}, {0x3110, Kind::Adapter},  {0x3111, Kind::Gamepad},
        {0x3115, Kind::Gamepad},     {0x3011, Kind::Gamepad},  {0x3012, Kind::Gamepad},  {0x3015, Kind::Gamepad},
        {0x3016, Kind::Gamepad},     {0x3017, Kind::Gamepad},  {0x3100, Kind::Gamepad},  {0x3116, Kind::Gamepad},
        {0x3105, Kind::Gamepad},     {0x3103, Kind::Receiver}, {0x3107, Kind::Receiver}, {0x5006, Kind::ModKit},
        {0x5111, Kind::Gamepad},     {0x5112, Kind::Gamepad},  {0x6000, Kind::Gamepad},  {0x6002, Kind::Gamepad},
        {0x6003, Kind::Gamepad},     {0x6006, Kind::Gamepad},  {0x6007, Kind::Gamepad},  {0x2100, Kind::ArcadeStick},
        {0x2101, Kind::ArcadeStick}, {0x6008, Kind::Gamepad},  {0x9020, Kind::Gamepad},  {0x9025, Kind::Gamepad},
        {0x9026, Kind::ArcadeStick}, {0x9029, Kind::Adapter},  {0x3101, Kind::Gamepad},  {0x3102, Kind::Gamepad},
        {0x3109, Kind::Adapter},     {0x3104, Kind::Gamepad},  {0x3013, Kind::Receiver}, {0x6001, Kind::Gamepad},
        {0x9018, Kind::Gamepad},     {0x23FB, Kind::Gamepad},  {0x2000, Kind::Gamepad},  {0x5001, Kind::ModKit},
        {0x5002, Kind::ModKit},      {0x5003, Kind::ModKit},   {0x5004, Kind::ModKit},   {0x3117, Kind::Gamepad},
        {0x3118, Kind::Gamepad},     {0x3119, Kind::Receiver}, {0x311A, Kind::Gamepad},  {0x0CDA, Kind::Adapter},
    };
    const auto &catalogue = SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs();
    ASSERT_EQ(catalogue.size(), 56);
    for (const auto &entry : catalogue) {
        const QString name = entry->storedName();
        ASSERT_TRUE(kinds.count(entry->pid)) << qPrintable(name);
        SFenwykDevice d;
        d.setDetails(entry);
        if (const auto *row = guide_table::rowFor(d)) {
            EXPECT_EQ(row->kind, kinds.at(entry->pid)) << qPrintable(name) << " is shown the guide of key " << row->key;
        } else {
            // Without a row: the recovery guide, drawn with the product itself.
            EXPECT_EQ(guide_table::recoveryPicture(d), entry->moreImage) << qPrintable(name);
        }
        // A product that ships with a receiver: the receiver's guide shows a receiver or an adapter.
        d.details();
        if (d.isCarryRR) {
            d.isManuanlViewRR = 1;
            const auto *row = guide_table::rowFor(d);
            ASSERT_NE(row, nullptr) << qPrintable(name);
            EXPECT_TRUE(row->kind == Kind::Receiver || row->kind == Kind::Adapter) << qPrintable(name);
        }
    }
}
