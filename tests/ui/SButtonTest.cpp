#include "ui/SButton.h"
#include "platform/Bundle.h"

#include <QApplication>
#include <QEnterEvent>
#include <QTest>

#include <gtest/gtest.h>

#include "support/WidgetTestSupport.h"

#include <functional>

using flashwell::SButton;

namespace {

const QColor kRestBlue(0, 160, 233);
const QColor kHoverRed(255, 52, 90);

void enter(SButton &button)
{
    QEnterEvent event(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QApplication::sendEvent(&button, &event);
}

void leave(SButton &button)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&button, &event);
}

QColor pixel(const QImage &image, int x, int y)
{
    return QColor::fromRgb(image.pixel(x, y));
}

class Recorder final : public QObject, public flashwell::SButtonDelegate
{
public:
    void SButtonClick(SButton *button) override { clicks.push_back(button); }
    std::vector<SButton *> clicks;
};

} // namespace

TEST(SButton, ProgressFillsItsShareOfTheWidthAtHeightForty)
{
    const struct
    {
        int width;
        int height;
        float progress;
        int filledWidth;
    } rows[] = {
        {200, 40, 40, 80}, {200, 40, 0, 0}, {200, 40, 100, 200}, {120, 38, 50, 60}, {200, 40, 250, 200}, // clamped
        {200, 40, -5, 0},
    };
    for (const auto &row : rows) {
        SButton button;
        button.resize(row.width, row.height);
        button.setM_title(QString());
        button.setM_progress(row.progress);
        const QImage image = flashwell::test::render(button);
        const int y = row.height / 2;
        for (int x = 2; x < row.width - 2; ++x) {
            if (x < row.filledWidth - 1) {
                EXPECT_EQ(pixel(image, x, y), kRestBlue) << "progress " << row.progress << " x " << x;
            } else if (x > row.filledWidth) {
                EXPECT_NE(pixel(image, x, y), kRestBlue) << "progress " << row.progress << " x " << x;
            }
        }
    }
}

TEST(SButton, FillIsFortyPointsHighFromTheBottom)
{
    SButton button;
    button.resize(200, 60);
    button.setM_title(QString());
    const QImage image = flashwell::test::render(button);
    for (int y = 2; y < 58; ++y) {
        if (y > 20) {
            EXPECT_EQ(pixel(image, 100, y), kRestBlue) << y;
        } else if (y < 19) {
            EXPECT_NE(pixel(image, 100, y), kRestBlue) << y;
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
        QRect ink;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = pixel(image, x, y);
                if (c.red() > 128 && c.green() > 200) // white title over the blue fill
                    ink |= QRect(x, y, 1, 1);
            }
        ASSERT_FALSE(ink.isEmpty()) << row.title;
        EXPECT_NEAR(ink.center().x() + 0.5, row.width / 2.0, 1.5) << row.title;
        EXPECT_NEAR(ink.center().y() + 0.5, row.height / 2.0, 4.0) << row.title;
        EXPECT_GT(ink.height(), 8) << row.title;
    }
}

TEST(SButton, ColourRulesFollowThePointer)
{
    const QColor green(90, 178, 31);
    const QColor white(Qt::white);
    const QColor black(Qt::black);
    const struct
    {
        const char *what;
        std::function<void(SButton &)> steps;
        QColor fill;
        QColor title;
    } rows[] = {
        {"at rest", [](SButton &) {}, kRestBlue, white},
        {"pointer over", [](SButton &b) { enter(b); }, kHoverRed, black},
        {"pointer gone", [](SButton &b) { enter(b), leave(b); }, kRestBlue, white},
        {"highlight set while idle shows at once", [&](SButton &b) { b.setM_highlightColor(green); }, green, white},
        {"... until the pointer leaves",
         [&](SButton &b) {
             b.setM_highlightColor(green);
             enter(b);
             leave(b);
         },
         kRestBlue, white},
        {"background set while hovered shows at once",
         [&](SButton &b) {
             enter(b);
             b.setM_backgroundColor(green);
         },
         green, black},
        {"success keeps its colours on enter",
         [](SButton &b) {
             b.setM_title(flashwell::Bundle::localizedString("success"));
             enter(b);
         },
         kRestBlue, white},
        {"success keeps its colours on leave",
         [&](SButton &b) {
             b.setM_title(flashwell::Bundle::localizedString("success"));
             b.setM_highlightColor(green);
             leave(b);
         },
         green, white},
        {"disabled keeps its colours",
         [](SButton &b) {
             b.setEnabled(false);
             enter(b);
         },
         kRestBlue, white},
        {"disabled while hovered keeps them on leave",
         [](SButton &b) {
             enter(b);
             b.setEnabled(false);
             leave(b);
         },
         kHoverRed, black},
        {"inactive window ignores the pointer",
         [](SButton &b) {
             QApplication::setActiveWindow(nullptr);
             enter(b);
         },
         kRestBlue, white},
    };
    for (const auto &row : rows) {
        SButton button;
        button.resize(200, 40);
        button.setM_title(QStringLiteral("update"));
        button.show();
        QApplication::setActiveWindow(&button);
        ASSERT_TRUE(button.isActiveWindow());
        row.steps(button);
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

TEST(SButton, DefaultsAndSettersKeepTheCurrentTitleColour)
{
    flashwell::test::ScopedTranslations english(QStringLiteral("en"));
    SButton button;
    EXPECT_EQ(button.m_title(), QStringLiteral("Update"));
    EXPECT_EQ(button.m_progress(), 100.0f);
    EXPECT_EQ(button.m_backgroundColor(), kRestBlue);
    EXPECT_EQ(button.m_highlightColor(), kHoverRed);
    EXPECT_EQ(button.m_titleColor(), QColor(Qt::white));
    EXPECT_EQ(button.m_titleHighlighColor(), QColor(Qt::black));
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
        button.show();
        QApplication::setActiveWindow(&button);
        button.setFocus(Qt::TabFocusReason);
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
