#include "ui/SMiniImageView.h"

#include <QApplication>
#include <QEnterEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

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

void enter(QWidget &w)
{
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&w, &event);
}

void leave(QWidget &w)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&w, &event);
}

} // namespace

TEST(SMiniImageView, OnlyAClickableUnselectedPictureReacts)
{
    enum Press { Mouse, Space, RightMouse, Return };
    const struct
    {
        bool isClick;
        bool isSelect;
        Press press;
        int clicks;
    } rows[] = {
        {true, false, Mouse, 1},  {true, false, Space, 1},  {true, false, RightMouse, 0},
        {true, false, Return, 0}, {true, true, Mouse, 0},   {true, true, Space, 0},
        {false, false, Mouse, 0}, {false, false, Space, 0}, {false, true, Mouse, 0},
    };
    for (const auto &row : rows) {
        Recorder recorder;
        SMiniImageView view;
        view.resize(110, 90);
        view.setDelegate(&recorder);
        view.setIsClick(row.isClick);
        view.setIsSelect(row.isSelect);
        view.show();
        QApplication::setActiveWindow(&view);
        view.setFocus(Qt::TabFocusReason);
        switch (row.press) {
        case Mouse:
            QTest::mouseClick(&view, Qt::LeftButton);
            break;
        case RightMouse:
            QTest::mouseClick(&view, Qt::RightButton);
            break;
        case Space:
            QTest::keyClick(&view, Qt::Key_Space);
            break;
        case Return:
            QTest::keyClick(&view, Qt::Key_Return);
            break;
        }
        ASSERT_EQ(static_cast<int>(recorder.clicks.size()), row.clicks)
            << "click " << row.isClick << " select " << row.isSelect << " press " << row.press;
        if (row.clicks) {
            EXPECT_EQ(recorder.clicks.front(), &view);
        }
        // Keyboard users reach exactly the pictures that react.
        EXPECT_EQ(view.focusPolicy(), row.isClick && !row.isSelect ? Qt::StrongFocus : Qt::NoFocus);
    }
}

TEST(SMiniImageView, OutlineFollowsSelectionAndPointer)
{
    const struct
    {
        const char *what;
        bool isClick;
        std::function<void(SMiniImageView &)> steps;
        int width;
        QColor color; // checked when width > 0
    } rows[] = {
        {"at rest", true, [](SMiniImageView &) {}, 0, {}},
        {"hovered", true, [](SMiniImageView &v) { enter(v); }, 1, kHoverBlue},
        {"hover ends", true, [](SMiniImageView &v) { enter(v), leave(v); }, 0, {}},
        {"selected", true, [](SMiniImageView &v) { v.setIsSelect(true); }, 1, kSelectedOrange},
        {"selected ignores enter", true,
         [](SMiniImageView &v) {
             v.setIsSelect(true);
             enter(v);
         },
         1, kSelectedOrange},
        {"selected ignores leave", true,
         [](SMiniImageView &v) {
             v.setIsSelect(true);
             leave(v);
         },
         1, kSelectedOrange},
        {"deselected",
         true,
         [](SMiniImageView &v) {
             v.setIsSelect(true);
             v.setIsSelect(false);
         },
         0,
         {}},
        {"not clickable ignores hover", false, [](SMiniImageView &v) { enter(v); }, 0, {}},
        {"not clickable may still be selected", false, [](SMiniImageView &v) { v.setIsSelect(true); }, 1,
         kSelectedOrange},
    };
    for (const auto &row : rows) {
        SMiniImageView view;
        view.resize(110, 90);
        view.setIsClick(row.isClick);
        row.steps(view);
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
