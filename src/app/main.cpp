#include "app/AppDelegate.h"
#include "app/Application.h"
#include "platform/HidApiBackend.h"
#include "platform/PlatformServices.h"
#include "platform/QtScheduler.h"

#include <QApplication>
#include <QMainWindow>

#include <cstdio>

using namespace flashwell;

int main(int argc, char **argv)
{
    if (!Application::hasGraphicalSession()) {
        std::fprintf(stderr, "%s\n", Application::noSessionMessage());
        return 1;
    }
    QApplication app(argc, argv);
    Application::prepare(app);

    // Real devices through hidapi; the firmware servers come from the settings.
    QtScheduler scheduler;
    HidApiBackend hid;
    PlatformServices::installShared(scheduler, hid);

    AppDelegate delegate;
    std::unique_ptr<QMainWindow> window = Application::createMainWindow({}, delegate);
    window->show();
    delegate.applicationDidFinishLaunching();
    const int status = QApplication::exec();
    delegate.applicationWillTerminate();
    window.reset();
    return status;
}
