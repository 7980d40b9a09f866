// Catches: menu items found by the wrong tag or menu, a stale lookup, and a Quit without its Ctrl+Q.
#include "app/SMainMenu.h"
#include "ui/SLoadXIB.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

#include <memory>

using namespace flashwell;

namespace {

QAction *tagged(QMenu &menu, const QString &text, int tag)
{
    QAction *a = menu.addAction(text);
    a->setProperty("tag", tag);
    return a;
}

TEST(SMainMenuTest, NoMenuOrAnEmptyMenuBarFindsNothing)
{
    SMainMenu::setMainMenu(nullptr);
    EXPECT_EQ(SMainMenu::getCheckUpdateMenuItem(), nullptr);
    QMenuBar empty;
    SMainMenu::setMainMenu(&empty);
    EXPECT_EQ(SMainMenu::getCheckUpdateMenuItem(), nullptr);
    EXPECT_EQ(SMainMenu::getMoreMenuItem(), nullptr);
    EXPECT_EQ(SMainMenu::getBetaMenuItem(), nullptr);
    SMainMenu::setMainMenu(nullptr);
}

TEST(SMainMenuTest, FirstItemWithTheTagInTheFirstMenuEveryCallAfresh)
{
    QMenuBar bar;
    QMenu *app = bar.addMenu(QStringLiteral("App"));
    QMenu *other = bar.addMenu(QStringLiteral("Other"));
    tagged(*other, QStringLiteral("elsewhere"), 1);
    QAction *plain = app->addAction(QStringLiteral("untagged"));
    QAction *firstMore = tagged(*app, QStringLiteral("more 1"), 2);
    tagged(*app, QStringLiteral("more 2"), 2);
    SMainMenu::setMainMenu(&bar);
    EXPECT_EQ(SMainMenu::getMoreMenuItem(), firstMore);
    EXPECT_EQ(SMainMenu::getCheckUpdateMenuItem(), nullptr); // only the first menu counts
    EXPECT_NE(SMainMenu::getBetaMenuItem(), plain);
    // Nothing is cached: an item added later is found, a title set through one call is seen.
    QAction *beta = tagged(*app, QStringLiteral("beta"), 3);
    EXPECT_EQ(SMainMenu::getBetaMenuItem(), beta);
    SMainMenu::getMoreMenuItem()->setText(QStringLiteral("renamed"));
    EXPECT_EQ(SMainMenu::getMoreMenuItem()->text(), QStringLiteral("renamed"));
    delete firstMore;
    EXPECT_EQ(SMainMenu::getMoreMenuItem()->text(), QStringLiteral("more 2"));
    SMainMenu::setMainMenu(nullptr);
}

TEST(SMainMenuTest, TheMainWindowFileQuitsOnCtrlQ)
{
    std::unique_ptr<QMainWindow> window(qobject_cast<QMainWindow *>(
        SLoadXIB::loadXibName(QStringLiteral("MainWindow"), QStringLiteral("QMainWindow"), nullptr)));
    ASSERT_NE(window, nullptr);
    auto *quit = window->findChild<QAction *>(QStringLiteral("actionQuit"));
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
}

} // namespace
