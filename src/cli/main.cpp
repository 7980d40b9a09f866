// flashwell-cli: the update workflow from a terminal or a script, on the real HID bus and the
// configured firmware servers.
#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "cli/CliCatalogueClient.h"
#include "cli/FlashwellCli.h"
#include "device/SHIDHJZ.h"
#include "platform/Bundle.h"
#include "platform/ApplicationContext.h"
#include "platform/PlatformServices.h"
#include "update/UpdateHistory.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include <fcntl.h>
#include <unistd.h>

using namespace flashwell;

namespace {

int g_interruptPipe[2] = {-1, -1};

extern "C" void onInterrupt(int)
{
    const char byte = 'i';
    // Nothing else is safe in a signal handler; the event loop reads the byte.
    [[maybe_unused]] const ssize_t n = ::write(g_interruptPipe[1], &byte, 1);
}

void writeOut(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("flashwell-cli"));
    Bundle::installTranslations(app);

    // The process-wide services (Qt scheduler, hidapi backend, network, shared sessions); they die
    // before the application.
    ApplicationContext context;

    cli::CliCatalogueClient client;
    cli::FlashwellCli::Environment env;
    env.update = UpdateServices{PlatformServices::shared(), &SHIDBootVela2::sharedInstance(),
                                &SHIDBootHJZ::sharedInstance(), &SHIDHJZ::sharedInstance(), &client};
    env.client = &client;
    env.historyPath = UpdateHistory::defaultPath();
    env.runUntil = [](const std::function<bool()> &done) {
        // A tick keeps the loop looking at `done` even when nothing else happens.
        QTimer tick;
        tick.start(50);
        while (!done())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents, 50);
    };
    env.readLine = []() -> std::optional<QString> {
        std::string line;
        if (!std::getline(std::cin, line))
            return std::nullopt;
        return QString::fromStdString(line);
    };
    env.out = [](const QString &text) { writeOut(stdout, text); };
    env.err = [](const QString &text) { writeOut(stderr, text); };
    env.terminal = ::isatty(STDOUT_FILENO) == 1;

    cli::FlashwellCli cli(env);

    // Ctrl-C reaches the event loop through a pipe. No SA_RESTART: a prompt waiting for an answer
    // ends (as "no") instead of waiting on.
    if (::pipe2(g_interruptPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(SIGINT, &action, nullptr);
    }
    QSocketNotifier notifier(g_interruptPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &cli, [&cli] {
        char buffer[16];
        while (::read(g_interruptPipe[0], buffer, sizeof buffer) > 0) {
        }
        cli.interrupt();
    });

    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return cli.run(args);
}
