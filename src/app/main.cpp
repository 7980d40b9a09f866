#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/SingleInstance.h"
#include "app/StartOptions.h"
#include "platform/ApplicationContext.h"
#include "platform/Bundle.h"
#include "platform/InstanceLock.h"
#include "platform/RecordingWriter.h"
#include "update/FirmwareCatalogueClient.h"
#include "update/ProcessRecording.h"
#include "update/UpdateHistory.h"
#include "update/UpdateRecordingContext.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMessageBox>

#include <cstdio>

using namespace flashwell;

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const StartOptions options = StartOptions::read(arguments);
    if (options.request == CommandLine::Request::Version) {
        std::printf("%s\n", qPrintable(CommandLine::versionLine(QStringLiteral("flashwell"))));
        return 0;
    }
    if (options.request == CommandLine::Request::Help) {
        // The texts only: no display is needed for them.
        QCoreApplication core(argc, argv);
        Bundle::installTranslations(core);
        std::printf("%s\n", qUtf8Printable(StartOptions::usage()));
        return 0;
    }

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

    // Recording (--record FILE, or "Record the next update…" later): the recorder stands in front
    // of the HID backend from the start, idle until a recording begins.
    const QString &recordPath = options.recordPath;
    const QString application = QStringLiteral("flashwell");
    const QString version = QStringLiteral(FLASHWELL_VERSION);
    QString recordError;
    RecordingWriter *writer = process_recording::install(context, recordPath, application, version, &recordError);
    if (!writer) {
        std::fprintf(stderr, "%s\n", qPrintable(recordError));
        writer = process_recording::install(context, {}, application, version, nullptr);
    }
    UpdateRecordingContext recording(FirmwareCatalogueClient::shared(), writer);

    AppDelegate delegate;
    ViewController::Services services;
    services.historyPath = UpdateHistory::defaultPath();
    services.update = [&recording] {
        UpdateServices update = UpdateServices::shared();
        update.server = &recording;
        return update;
    };
    services.updateScreenMade = [&recording](UpdateSessionController &controller) { recording.watch(controller); };
    std::unique_ptr<QMainWindow> window = Application::createMainWindow(std::move(services), delegate);
    Application::addRecordMenuItem(*window, [&](const QString &path) {
        QString error;
        if (!writer || !process_recording::start(context, *writer, path, application, version, &error))
            return error;
        recording.rearm();
        return QString();
    });
    instance.raiseOnRequest(window.get());
    window->show();
    delegate.applicationDidFinishLaunching();
    const int status = QApplication::exec();
    delegate.applicationWillTerminate();
    window.reset();
    return status;
}
