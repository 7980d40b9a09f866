#include "app/SMainMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace flashwell {

namespace {
QPointer<QMenuBar> &mainMenuSlot()
{
    static QPointer<QMenuBar> menuBar;
    return menuBar;
}
} // namespace

void SMainMenu::setMainMenu(QMenuBar *menuBar)
{
    mainMenuSlot() = menuBar;
}

QMenuBar *SMainMenu::mainMenu()
{
    return mainMenuSlot().data();
}

QAction *SMainMenu::itemWithTag(int tag)
{
    QMenuBar *menuBar = mainMenu();
    if (!menuBar || menuBar->actions().isEmpty())
        return nullptr;
    QMenu *first = menuBar->actions().constFirst()->menu();
    if (!first)
        return nullptr;
    for (QAction *item : first->actions()) {
        bool ok = false;
        if (item->property("tag").toInt(&ok) == tag && ok)
            return item;
    }
    return nullptr;
}

} // namespace flashwell
