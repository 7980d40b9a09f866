#include "app/Application.h"

#include "app/AppDelegate.h"
#include "app/SMainMenu.h"
#include "platform/Bundle.h"
#include "screens/UpdateHistoryDialog.h"
#include "ui/Picture.h"
#include "ui/SLoadXIB.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

namespace flashwell {

namespace {
QString localized(const char *key)
{
    return Bundle::localizedString(key);
}
} // namespace

const char *Application::noSessionMessage()
{
    return "flashwell: no graphical session found (neither DISPLAY nor WAYLAND_DISPLAY is set); "
           "start it from a desktop session";
}

bool Application::hasGraphicalSession()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

void Application::prepare(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("Fenwyk Flashwell"));
    QApplication::setApplicationDisplayName(QStringLiteral("Fenwyk Flashwell"));
    QApplication::setApplicationVersion(QStringLiteral(FLASHWELL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.github.fenwyk.Flashwell"));
    // The main window's close quits, and nothing else does (a notes window or a dialog may be last).
    QApplication::setQuitOnLastWindowClosed(false);
    Bundle::installTranslations(app);
    const Picture icon = Picture::imageNamed(QStringLiteral("flashwell"));
    if (!icon.isNull()) {
        QIcon windowIcon;
        for (int size : {16, 24, 32, 48, 64, 128, 256})
            windowIcon.addPixmap(icon.pixmap(QSize(size, size)));
        QApplication::setWindowIcon(windowIcon);
    }
}

std::unique_ptr<QMainWindow> Application::createMainWindow(ViewController::Services services, AppDelegate &delegate)
{
    std::unique_ptr<QMainWindow> window(qobject_cast<QMainWindow *>(
        SLoadXIB::loadXibName(QStringLiteral("MainWindow"), QStringLiteral("QMainWindow"), nullptr)));
    if (!window) {
        // Without its interface file the window still comes up, with an empty menu bar.
        window = std::make_unique<QMainWindow>();
        window->setMenuBar(new QMenuBar(window.get()));
    }
    window->setWindowTitle(QStringLiteral("Fenwyk Flashwell"));
    SMainMenu::setMainMenu(window->menuBar());
    if (!window->menuBar()->actions().isEmpty())
        window->menuBar()->actions().first()->setText(localized("appMenu"));

    auto *controller = new ViewController(std::move(services));
    controller->setFixedSize(kWidth, kHeight);
    window->setCentralWidget(controller);
    window->setFixedSize(window->sizeHint().width(), kHeight + window->menuBar()->sizeHint().height());

    if (QAction *check = SMainMenu::getCheckUpdateMenuItem())
        QObject::connect(check, &QAction::triggered, &delegate, &AppDelegate::checkUpdate);
    QMainWindow *raw = window.get();
    const QString historyPath = controller->historyPath();
    if (auto *about = raw->findChild<QAction *>(QStringLiteral("actionAbout"))) {
        about->setText(localized("about"));
        QObject::connect(about, &QAction::triggered, raw, [raw] { showAbout(raw); });
    }
    if (auto *quit = raw->findChild<QAction *>(QStringLiteral("actionQuit"))) {
        quit->setText(localized("quit"));
        quit->setShortcut(QKeySequence::Quit);
        // Quitting from the menu goes through the window's close, so that a running update is
        // asked about first.
        QObject::connect(quit, &QAction::triggered, raw, &QWidget::close);
    }
    if (auto *history = raw->findChild<QAction *>(QStringLiteral("actionHistory"))) {
        history->setText(localized("historyMenu"));
        history->setVisible(!historyPath.isEmpty());
        QObject::connect(history, &QAction::triggered, raw, [raw, historyPath] {
            auto *dialog = new UpdateHistoryDialog(UpdateHistory(historyPath), raw);
            dialog->setObjectName(QStringLiteral("historyDialog"));
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->setWindowModality(Qt::WindowModal);
            dialog->open();
        });
    }
    controller->viewDidLoad();
    return window;
}

ViewController *Application::controllerOf(QMainWindow &window)
{
    return qobject_cast<ViewController *>(window.centralWidget());
}

void Application::addRecordMenuItem(QMainWindow &window, std::function<QString(const QString &path)> start)
{
    auto *history = window.findChild<QAction *>(QStringLiteral("actionHistory"));
    QMenu *menu = nullptr;
    if (!window.menuBar()->actions().isEmpty())
        menu = window.menuBar()->actions().first()->menu();
    if (!menu)
        return;
    auto *record = new QAction(localized("recordMenu"), &window);
    record->setObjectName(QStringLiteral("actionRecord"));
    menu->insertAction(history, record);
    QMainWindow *raw = &window;
    QObject::connect(record, &QAction::triggered, raw, [raw, start = std::move(start)] {
        auto *dialog = new QFileDialog(raw, localized("recordSaveTitle"),
                                       QDir::home().filePath(QStringLiteral("flashwell-recording.jsonl")));
        dialog->setObjectName(QStringLiteral("recordDialog"));
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setWindowModality(Qt::WindowModal);
        QObject::connect(dialog, &QFileDialog::fileSelected, raw, [raw, start](const QString &path) {
            const QString error = start(path);
            if (error.isEmpty())
                return;
            auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Fenwyk Flashwell"),
                                        localized("recordFailed"), QMessageBox::Ok, raw);
            box->setInformativeText(error);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->setWindowModality(Qt::WindowModal);
            box->open();
        });
        dialog->open();
    });
}

void Application::showAbout(QWidget *parent)
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, localized("about"), QStringLiteral("Fenwyk Flashwell"),
                                QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("aboutBox"));
    box->setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    box->setInformativeText(localized("aboutText").arg(QStringLiteral(FLASHWELL_VERSION)));
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace flashwell
