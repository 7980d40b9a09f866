#pragma once

#include "app/ViewController.h"

#include <memory>

class QApplication;
class QMainWindow;
class QWidget;

namespace flashwell {

class AppDelegate;

// Start-up pieces shared by `flashwell` and `flashwell-demo`: the same window, menu and root
// controller, whatever stands behind them.
class Application final
{
public:
    Application() = delete;

    // The line printed when there is no graphical session to open the window on.
    static const char *noSessionMessage();
    // True when a display server is reachable, or a Qt platform was chosen explicitly.
    static bool hasGraphicalSession();
    // Name, icon and translations of the application.
    static void prepare(QApplication &app);
    // The main window from its interface file, with the root controller as its content and its
    // menu armed; not shown yet. Closing it quits the application.
    static std::unique_ptr<QMainWindow> createMainWindow(ViewController::Services services, AppDelegate &delegate);
    static ViewController *controllerOf(QMainWindow &window);
    static void showAbout(QWidget *parent);
    // "Record the next update…" in the application menu: asks where to save, then `start` begins
    // the recording and returns an error text (empty when it began).
    static void addRecordMenuItem(QMainWindow &window, std::function<QString(const QString &path)> start);

    // The content size every screen is laid out for.
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;
};

} // namespace flashwell
