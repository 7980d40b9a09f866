#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/SingleInstance.h"
#include "platform/ApplicationContext.h"
#include "platform/Bundle.h"
#include "platform/InstanceLock.h"
#include "update/UpdateHistory.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>

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

    // A second start raises the running window and ends: two would fight over the same device.
    SingleInstance instance(instance_lock::name());
    if (!instance.claim()) {
        if (!instance.holderAnswered())
            QMessageBox::information(nullptr, QApplication::applicationDisplayName(),
                                     Bundle::localizedString("appDevicesBusy"));
        return 0;
    }

    // The process-wide services: real devices through hidapi, the Qt scheduler, the network and
    // the shared sessions; they die before the application. The firmware servers come from the
    // settings.
    ApplicationContext context;

    AppDelegate delegate;
    ViewController::Services services;
    services.historyPath = UpdateHistory::defaultPath();
    std::unique_ptr<QMainWindow> window = Application::createMainWindow(std::move(services), delegate);
    instance.raiseOnRequest(window.get());
    window->show();
    delegate.applicationDidFinishLaunching();
    const int status = QApplication::exec();
    delegate.applicationWillTerminate();
    window.reset();
    return status;
}
