#pragma once

#include <QPointer>

class QAction;
class QMenuBar;

namespace flashwell {

// Finds the application menu's own items by their tag (the dynamic property "tag" on the action)
// in the first menu of the main menu bar. Nothing is cached: every call searches again.
class SMainMenu final
{
public:
    SMainMenu() = delete;

    static QAction *getCheckUpdateMenuItem() { return itemWithTag(1); }
    static QAction *getMoreMenuItem() { return itemWithTag(2); }
    static QAction *getBetaMenuItem() { return itemWithTag(3); }

    // The menu bar the application uses as its main menu (the main window's).
    static void setMainMenu(QMenuBar *menuBar);
    static QMenuBar *mainMenu();
    // The first action of the first menu whose "tag" is `tag`; null when there is none.
    static QAction *itemWithTag(int tag);
};

} // namespace flashwell
