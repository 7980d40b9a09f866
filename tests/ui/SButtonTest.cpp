// Catches: a fill of the wrong share or height, a title off centre, colours that miss the pointer, a lost press.
#include "ui/SButton.h"
#include "platform/Bundle.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include "support/WidgetProbe.h"
#include "support/WidgetTestSupport.h"

#include <functional>
#include <map>

using flashwell::SButton;
using flashwell::test::enter;
using flashwell::test::leave;
using flashwell::test::pixel;

namespace {

const QColor kRestBlue(0, 160, 233);
const QColor kHoverRed(255, 52, 90);

class Recorder final : public QObject, public flashwell::SButtonDelegate
{
public:
    void SButtonClick(SButton *button) override { clicks.push_back(button); }
    std::vector<SButton *> clicks;
};

} // namespace

// The fill is the progress's share of the width, 40 points high from the bottom edge.
TEST(SButton, FillCoversTheProgressShareOfAFortyPointBandAtTheBottom)
{
    const struct
    {
        int width;
        int height;
        float progress;
        int filledWidth;
    } rows[] = {
        {200, 40, 40, 80},   {200, 40, 0, 0},  {200, 40, 100, 200}, {120, 38, 50, 60},
        {200, 40, 250, 200}, {200, 40, -5, 0}, {200, 60, 100, 200}, // clamped, clamped, taller than the band
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(::testing::Message() << row.width << "x" << row.height << " at " << row.progress);
        SButton button;
        button.resize(row.width, row.height);
        button.setM_title(QString());
        button.setM_progress(row.progress);
        const QImage image = flashwell::test::render(button);
        // Across the middle of the band, then down through the middle of the fill.
        for (int x = 2; x < row.width - 2; ++x) {
            if (x < row.filledWidth - 1) {
                EXPECT_EQ(pixel(image, x, row.height - 20), kRestBlue) << "x " << x;
            } else if (x > row.filledWidth) {
                EXPECT_NE(pixel(image, x, row.height - 20), kRestBlue) << "x " << x;
            }
        }
        const int top = row.height - 40;
        for (int y = 2; row.filledWidth >= 4 && y < row.height - 2; ++y) {
            if (y > top) {
                EXPECT_EQ(pixel(image, row.filledWidth / 2, y), kRestBlue) << "y " << y;
            } else if (y < top - 1) {
                EXPECT_NE(pixel(image, row.filledWidth / 2, y), kRestBlue) << "y " << y;
            }
        }
    }
}

TEST(SButton, TitleIsDrawnCentredInTheTitleColour)
{
    const struct
    {
        int width;
        int height;
        const char *title;
    } rows[] = {{200, 40, "HHHH"}, {120, 38, "OK"}, {300, 40, "Check for update"}};
    for (const auto &row : rows) {
        SButton button;
        button.resize(row.width, row.height);
        button.setM_title(QString::fromLatin1(row.title));
        button.setM_titleColor(QColor(0, 255, 0)); // stored, but the current title colour stays white
        button.setM_progress(100);
        const QImage image = flashwell::test::render(button);
        // The white title over the blue fill.
        const QRect ink =
            flashwell::test::inkRect(image, [](const QColor &c) { return c.red() > 128 && c.green() > 200; });
        ASSERT_FALSE(ink.isEmpty()) << row.title;
        EXPECT_NEAR(ink.center().x() + 0.5, row.width / 2.0, 1.5) << row.title;
        EXPECT_NEAR(ink.center().y() + 0.5, row.height / 2.0, 4.0) << row.title;
        EXPECT_GT(ink.height(), 8) << row.title;
    }
}

namespace {

// Steps, one letter each: e pointer enters, l leaves, h green highlight set, b green background set,
// s title "success", d disabled, i the window inactive.
void act(SButton &button, const char *steps)
{
    const QColor green(90, 178, 31);
    const std::map<char, std::function<void()>> step = {
        {'e', [&] { enter(button); }},
        {'l', [&] { leave(button); }},
        {'h', [&] { button.setM_highlightColor(green); }},
        {'b', [&] { button.setM_backgroundColor(green); }},
        {'s', [&] { button.setM_title(flashwell::Bundle::localizedString("success")); }},
        {'d', [&] { button.setEnabled(false); }},
        {'i', [] { QApplication::setActiveWindow(nullptr); }},
    };
    for (const char *c = steps; *c; ++c)
        step.at (*c)();
}

} // namespace

TEST(SButton, ColourRulesFollowThePointer)
{
    const QColor green(90, 178, 31);
    const QColor white(Qt::white);
    const QColor black(Qt::black);
    const struct
    {
        const char *what;
        const char *steps;
        QColor fill;
        QColor title;
    } rows[] = {
        {"at rest", "", kRestBlue, white},
        {"pointer over", "e", kHoverRed, black},
        {"pointer gone", "el", kRestBlue, white},
        {"highlight set while idle shows at once", "h", green, white},
        {"... until the pointer leaves", "hel", kRestBlue, white},
        {"background set while hovered shows at once", "eb", green, black},
        {"success keeps its colours on enter", "se", kRestBlue, white},
        {"success keeps its colours on leave", "shl", green, white},
        {"disabled keeps its colours", "de", kRestBlue, white},
        {"disabled while hovered keeps them on leave", "edl", kHoverRed, black},
        {"inactive window ignores the pointer", "ie", kRestBlue, white},
    };
    for (const auto &row : rows) {
        SButton button;
        button.resize(200, 40);
        button.setM_title(QStringLiteral("update"));
        button.show();
        QApplication::setActiveWindow(&button);
        ASSERT_TRUE(button.isActiveWindow());
        act(button, row.steps);
        EXPECT_EQ(button.m_tmpbg(), row.fill) << row.what;
        EXPECT_EQ(button.m_tmpTitleColor(), row.title) << row.what;
        const QImage image = flashwell::test::render(button);
        EXPECT_EQ(pixel(image, 30, 20), row.fill) << row.what << " (fill)";
        button.setM_progress(0);
        const QImage outline = flashwell::test::render(button);
        EXPECT_EQ(pixel(outline, 100, 0), row.fill) << row.what << " (outline)";
        EXPECT_NE(pixel(outline, 30, 20), row.fill) << row.what << " (no fill at progress 0)";
    }
}

TEST(SButton, NamedByItsTitleOrProgressAndSettersKeepTheCurrentTitleColour)
{
    flashwell::test::ScopedTranslations english(QStringLiteral("en"));
    SButton button;
    button.setM_titleColor(Qt::red);
    button.setM_titleHighlighColor(Qt::blue);
    EXPECT_EQ(button.m_tmpTitleColor(), QColor(Qt::white));
    EXPECT_EQ(button.accessibleName(), QStringLiteral("Update"));
    button.setM_title(QStringLiteral("OK"));
    EXPECT_EQ(button.accessibleName(), QStringLiteral("OK"));
    button.setM_progress(40);
    EXPECT_TRUE(button.accessibleDescription().contains(QStringLiteral("40")))
        << button.accessibleDescription().toStdString();
    // While writing the title is empty: the progress names the button.
    button.setM_title(QString());
    EXPECT_EQ(button.accessibleName(), QStringLiteral("40% done"));
}

TEST(SButton, ClicksReachTheDelegateFromPointerAndKeyboard)
{
    const struct
    {
        const char *what;
        std::function<void(SButton &)> press;
        bool enabled;
        int clicks;
    } rows[] = {
        {"mouse", [](SButton &b) { QTest::mouseClick(&b, Qt::LeftButton); }, true, 1},
        {"space", [](SButton &b) { QTest::keyClick(&b, Qt::Key_Space); }, true, 1},
        {"return", [](SButton &b) { QTest::keyClick(&b, Qt::Key_Return); }, true, 1},
        {"enter", [](SButton &b) { QTest::keyClick(&b, Qt::Key_Enter); }, true, 1},
        {"other key", [](SButton &b) { QTest::keyClick(&b, Qt::Key_A); }, true, 0},
        {"disabled mouse", [](SButton &b) { QTest::mouseClick(&b, Qt::LeftButton); }, false, 0},
        {"disabled space", [](SButton &b) { QTest::keyClick(&b, Qt::Key_Space); }, false, 0},
    };
    for (const auto &row : rows) {
        Recorder recorder;
        SButton button;
        button.resize(120, 38);
        button.setDelegate(&recorder);
        button.setEnabled(row.enabled);
        flashwell::test::showFocused(button);
        row.press(button);
        ASSERT_EQ(static_cast<int>(recorder.clicks.size()), row.clicks) << row.what;
        if (row.clicks) {
            EXPECT_EQ(recorder.clicks.front(), &button) << row.what;
        }
    }
    EXPECT_EQ(SButton().focusPolicy(), Qt::StrongFocus);
}

TEST(SButton, GoneDelegateIsNotCalled)
{
    SButton button;
    {
        Recorder recorder;
        button.setDelegate(&recorder);
    }
    EXPECT_EQ(button.delegate(), nullptr);
    button.click(); // must not reach the destroyed recorder
}
