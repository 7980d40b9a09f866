#include "app/AppDelegate.h"
#include "app/Application.h"
#include "demo/DemoLab.h"
#include "demo/LabMenu.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/ApplicationContext.h"
#include "platform/PlatformServices.h"
#include "platform/QtScheduler.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QMenuBar>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTemporaryDir>
#include <QTimer>

#include <QSocketNotifier>

#include <csignal>
#include <cstdio>

#include <sys/socket.h>
#include <unistd.h>

using namespace flashwell;

namespace {

struct DemoOptions
{
    int devices = -1;           // how many demo devices are plugged in at start; all by default
    bool reportStartup = false; // print a line when the window is shown and first painted (start-up benchmark)
};

bool parse(const QStringList &args, DemoOptions &options)
{
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--devices") && i + 1 < args.size()) {
            bool ok = false;
            options.devices = args[++i].toInt(&ok);
            if (!ok || options.devices < 0)
                return false;
        } else if (args[i] == QLatin1String("--report-startup")) {
            options.reportStartup = true;
        } else {
            return false;
        }
    }
    return true;
}

// Prints the moment the window is first shown, and the end of its first paint: the turn of the
// event loop after the root controller's first paint event, by when the frame has been handed to
// the window system.
class ShownProbe final : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !m_shown) {
            m_shown = true;
            std::printf("window shown\n");
            std::fflush(stdout);
        } else if (event->type() == QEvent::Paint && !m_painted) {
            m_painted = true;
            QTimer::singleShot(0, this, [] {
                std::printf("first frame\n");
                std::fflush(stdout);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_shown = false;
    bool m_painted = false;
};

// SIGINT and SIGTERM end the demo through the event loop, so that its temporary folder is removed.
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[0], &byte, 1);
}

void quitOnSignals(QObject *context)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[1], &byte, 1);
        // exit, not quit: quit would first ask the windows to close, and the main window asks
        // before closing during an update.
        QCoreApplication::exit(0);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    if (!Application::hasGraphicalSession()) {
        std::fprintf(stderr, "%s\n", Application::noSessionMessage());
        return 1;
    }
    QApplication app(argc, argv);
    DemoOptions options;
    if (!parse(QApplication::arguments(), options)) {
        std::fprintf(stderr, "usage: flashwell-demo [--devices N] [--report-startup]\n");
        return 2;
    }

    // Settings and downloads live in a folder of their own, never the user's.
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/flashwell-demo-XXXXXX"));
    if (!folder.isValid()) {
        std::fprintf(stderr, "flashwell-demo: cannot create a temporary folder\n");
        return 1;
    }
    UserDefaults::useFileForStandard(folder.filePath(QStringLiteral("settings.ini")));
    Application::prepare(app);
    QApplication::setApplicationDisplayName(QStringLiteral("Fenwyk Flashwell (demo)"));

    QtScheduler scheduler;
    lab::DemoLab lab(scheduler, folder.path());
    QString error;
    if (!lab.start(&error)) {
        std::fprintf(stderr, "flashwell-demo: %s\n", qPrintable(error));
        return 1;
    }
    ServerConfig::install(lab.serverConfig());
    // The process-wide services (shared sessions, network) run on the lab's bus and die first:
    // before the lab whose devices they listen to, and before the application.
    ApplicationContext context;
    context.installServices(scheduler, lab.bus());
    SHttp::network().setProxy(QNetworkProxy::NoProxy);

    quitOnSignals(&lab);
    AppDelegate delegate;
    ViewController::Services services;
    services.historyPath = folder.filePath(QStringLiteral("update-history.jsonl"));
    std::unique_ptr<QMainWindow> window = Application::createMainWindow(std::move(services), delegate);
    window->setWindowTitle(QStringLiteral("Fenwyk Flashwell (demo)"));
    auto *labMenu = new lab::LabMenu(lab, window->menuBar());
    window->menuBar()->addMenu(labMenu);
    ShownProbe probe;
    if (options.reportStartup) {
        window->installEventFilter(&probe);
        window->centralWidget()->installEventFilter(&probe);
    }
    window->show();
    delegate.applicationDidFinishLaunching();

    // The devices are plugged in once the window is up, as a user would.
    const int count = options.devices < 0 ? lab.deviceCount() : std::min(options.devices, lab.deviceCount());
    QTimer::singleShot(300, &lab, [&lab, count] {
        for (int i = 0; i < count; ++i)
            lab.plug(i);
    });

    const int status = QApplication::exec();
    delegate.applicationWillTerminate();
    window.reset();
    return status;
}
