// flashwell-cli: the update workflow from a terminal or a script, on the real HID bus and the
// configured firmware servers.
#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "cli/FlashwellCli.h"
#include "device/SHIDHJZ.h"
#include "platform/ApplicationContext.h"
#include "platform/Bundle.h"
#include "platform/CommandLine.h"
#include "platform/InstanceLock.h"
#include "platform/PlatformServices.h"
#include "platform/RecordingWriter.h"
#include "update/ObservingCatalogueClient.h"
#include "update/ProcessRecording.h"
#include "update/UpdateHistory.h"
#include "update/UpdateRecordingContext.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <optional>

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

    // --record FILE: the update's traffic and context into FILE. The recorder stands in front of the
    // HID backend before any watcher or session exists, so this option is read first; the rest of
    // the line is the commands'.
    std::optional<QString> recordPath;
    const CommandLine::Result recordOption = CommandLine(CommandLine::Rules{.optionPrefix = QStringLiteral("-"),
                                                                            .unknown = CommandLine::Unknown::Skip,
                                                                            .dashedValues = false})
                                                 .value({QStringLiteral("--record")},
                                                        [&recordPath](const QString &path) {
                                                            recordPath = path;
                                                            return QString();
                                                        })
                                                 .once()
                                                 .read(QCoreApplication::arguments().mid(1));
    if (recordOption.problem) {
        writeOut(stderr, QStringLiteral("--record needs a file\n"));
        return cli::FlashwellCli::BadUsage;
    }
    const QStringList args = recordOption.unread;
    RecordingWriter *writer = nullptr;
    if (recordPath) {
        const QString path = *recordPath;
        if (!args.contains(QStringLiteral("update"))) {
            writeOut(stderr, QStringLiteral("--record goes with the update command\n"));
            return cli::FlashwellCli::BadUsage;
        }
        QString error;
        writer = process_recording::install(context, path, QStringLiteral("flashwell-cli"),
                                            QStringLiteral(FLASHWELL_VERSION), &error);
        if (!writer) {
            writeOut(stderr, error + QLatin1Char('\n'));
            return cli::FlashwellCli::BadUsage;
        }
    }

    ObservingCatalogueClient client;
    UpdateRecordingContext recording(client, writer);
    cli::FlashwellCli::Environment env;
    env.update = UpdateServices{PlatformServices::shared(), &SHIDBootVela2::sharedInstance(),
                                &SHIDBootHJZ::sharedInstance(), &SHIDHJZ::sharedInstance(), &recording};
    env.controllerMade = [&recording](UpdateSessionController &controller) { recording.watch(controller); };
    env.client = &client;
    env.historyPath = UpdateHistory::defaultPath();
    env.deviceLockPath = instance_lock::path(instance_lock::runtimeDirectory());
    env.runUntil = [](const std::function<bool()> &done) {
        // A tick keeps the loop looking at `done` even when nothing else happens.
        QTimer tick;
        tick.start(50);
        QEventLoop loop;
        while (!done())
            loop.processEvents(QEventLoop::WaitForMoreEvents);
    };
    // The answer is read through the event loop, so a Ctrl-C at the prompt ends it at any moment.
    bool interrupted = false;
    env.readLine = [&interrupted]() -> std::optional<QString> {
        QByteArray line;
        bool end = false;
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&input, &QSocketNotifier::activated, &input, [&] {
            char buffer[256];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n > 0)
                line.append(buffer, n);
            else if (n == 0 || errno != EINTR)
                end = true;
        });
        QEventLoop loop;
        while (!line.contains('\n') && !end && !interrupted)
            loop.processEvents(QEventLoop::WaitForMoreEvents);
        if (interrupted || (end && line.isEmpty()))
            return std::nullopt;
        return QString::fromUtf8(line.left(line.indexOf('\n')));
    };
    env.out = [](const QString &text) { writeOut(stdout, text); };
    env.err = [](const QString &text) { writeOut(stderr, text); };
    env.terminal = ::isatty(STDOUT_FILENO) == 1;

    cli::FlashwellCli cli(env);

    // Ctrl-C reaches the event loop through a pipe.
    if (::pipe2(g_interruptPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, nullptr);
    }
    QSocketNotifier notifier(g_interruptPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &cli, [&cli, &interrupted] {
        char buffer[16];
        while (::read(g_interruptPipe[0], buffer, sizeof buffer) > 0) {
        }
        interrupted = true;
        cli.interrupt();
    });

    return cli.run(args);
}
