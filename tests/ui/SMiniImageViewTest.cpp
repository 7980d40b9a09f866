// Catches: a picture that reacts or takes focus when selected or not clickable, or shows the wrong outline.
#include "ui/SMiniImageView.h"

#include <QTest>

#include <gtest/gtest.h>

#include "support/WidgetProbe.h"

#include <functional>
#include <map>

using flashwell::SMiniImageView;

namespace {

const QColor kSelectedOrange(219, 155, 52);
const QColor kHoverBlue(0, 160, 233);

class Recorder final : public QObject, public flashwell::SMiniImageViewDelegate
{
public:
    void SMiniImageViewClick(SMiniImageView *view) override { clicks.push_back(view); }
    std::vector<SMiniImageView *> clicks;
};

} // namespace

TEST(SMiniImageView, OnlyAClickableUnselectedPictureReacts)
{
    using Press = std::function<void(QWidget *)>;
    const Press mouse = [](QWidget *w) { QTest::mouseClick(w, Qt::LeftButton); };
    const Press rightMouse = [](QWidget *w) { QTest::mouseClick(w, Qt::RightButton); };
    const Press space = [](QWidget *w) { QTest::keyClick(w, Qt::Key_Space); };
    const Press enterKey = [](QWidget *w) { QTest::keyClick(w, Qt::Key_Return); };
    const struct
    {
        bool isClick;
        bool isSelect;
        const Press &press;
        int clicks;
    } rows[] = {
        {true, false, mouse, 1},    {true, false, space, 1},  {true, false, rightMouse, 0},
        {true, false, enterKey, 0}, {true, true, mouse, 0},   {true, true, space, 0},
        {false, false, mouse, 0},   {false, false, space, 0}, {false, true, mouse, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << "click " << row.isClick << " select " << row.isSelect << " row " << (&row - rows));
        Recorder recorder;
        SMiniImageView view;
        view.resize(110, 90);
        view.setDelegate(&recorder);
        view.setIsClick(row.isClick);
        view.setIsSelect(row.isSelect);
        flashwell::test::showFocused(view);
        row.press(&view);
        ASSERT_EQ(static_cast<int>(recorder.clicks.size()), row.clicks);
        if (row.clicks) {
            EXPECT_EQ(recorder.clicks.front(), &view);
        }
        // Keyboard users reach exactly the pictures that react.
        EXPECT_EQ(view.focusPolicy(), row.isClick && !row.isSelect ? Qt::StrongFocus : Qt::NoFocus);
    }
}

TEST(SMiniImageView, OutlineFollowsSelectionAndPointer)
{
    // Steps, one letter each: e pointer enters, l leaves, s selected, u deselected.
    const struct
    {
        const char *what;
        bool isClick;
        const char *steps;
        int width;
        QColor color; // checked when width > 0
    } rows[] = {
        {"at rest", true, "", 0, {}},
        {"hovered", true, "e", 1, kHoverBlue},
        {"hover ends", true, "el", 0, {}},
        {"selected", true, "s", 1, kSelectedOrange},
        {"selected ignores enter", true, "se", 1, kSelectedOrange},
        {"selected ignores leave", true, "sl", 1, kSelectedOrange},
        {"deselected", true, "su", 0, {}},
        {"not clickable ignores hover", false, "e", 0, {}},
        {"not clickable may still be selected", false, "s", 1, kSelectedOrange},
    };
    for (const auto &row : rows) {
        SMiniImageView view;
        view.resize(110, 90);
        view.setIsClick(row.isClick);
        const std::map<char, std::function<void()>> step = {
            {'e', [&] { flashwell::test::enter(view); }},
            {'l', [&] { flashwell::test::leave(view); }},
            {'s', [&] { view.setIsSelect(true); }},
            {'u', [&] { view.setIsSelect(false); }},
        };
        for (const char *c = row.steps; *c; ++c)
            step.at (*c)();
        EXPECT_EQ(view.borderWidth(), row.width) << row.what;
        const QImage image = view.grab().toImage();
        // The outline is the one-point frame of the view (no picture is set here).
        const QColor edge = QColor::fromRgba(image.pixel(50, 0));
        if (row.width > 0) {
            EXPECT_EQ(view.borderColor(), row.color) << row.what;
            EXPECT_EQ(edge, row.color) << row.what;
            EXPECT_EQ(QColor::fromRgba(image.pixel(0, 45)), row.color) << row.what;
        } else {
            EXPECT_NE(edge, kHoverBlue) << row.what;
            EXPECT_NE(edge, kSelectedOrange) << row.what;
        }
    }
}
