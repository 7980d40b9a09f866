#include "commands/BuildFirmwareCommand.h"
#include "commands/ClientCommands.h"
#include "commands/DiscoverCommand.h"
#include "commands/FlashCommand.h"
#include "commands/ReplayCommand.h"
#include "commands/ServerCommand.h"
#include "commands/UpdateCommand.h"
#include "platform/ApplicationContext.h"
#include "platform/CommandLine.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

namespace {
void usage(std::FILE *out)
{
    std::fprintf(
        out, "usage: flashwell-lab <command> [options]\n"
             "       flashwell-lab --help | --version\n"
             "  discover [--hidapi [--seconds N]]   watch devices and print each announcement as JSON\n"
             "  flash --bootloader classic --file PATH [--usb-pid HEX] [--usb-vid HEX]\n"
             "        [--boot-version HEX] [--hw-code N] [--fw-type N] [--receiver-settings]\n"
             "  flash --bootloader second-gen --file PATH [--usb-pid 3208|3002] [--reported-pid HEX]\n"
             "        [--info-pid HEX] [--info-subtype N] [--app-zone HEX] [--erase-unit N]\n"
             "  flash --bootloader hjz --file PATH [--dev-id 386|387]\n"
             "        [--dump-flash PATH] [--fault drop-reply:N|corrupt-write:N|unplug-after:N|fail-send:N]...\n"
             "        [--record FILE]                update a virtual bootloader and print each callback as JSON\n"
             "  build-firmware --out PATH [--format classic|second-gen|hjz] [--version N] [--beta N]\n"
             "        [--address HEX] [--pid HEX] [--size N] [--radio-size N] [--dev-id N] [--page-size N]\n"
             "                                       write a firmware file of patterned data\n"
             "  server [--port N] [--dir PATH]      run the lab firmware server on 127.0.0.1 (PATH/releases.json)\n"
             "  releases --type N [--server URL] [--beta-builds] [--language TAG]\n"
             "                                       print the server's release list, one JSON object a release\n"
             "  newest --type N --version X --beta N [--server URL] [--beta-builds] [--language TAG]\n"
             "                                       print the newest release as JSON, or nothing\n"
             "  download --file-url URL --id N --size N [--server URL] [--downloads DIR]\n"
             "                                       download into DIR/Fenwyk Flashwell, print {\"path\":...}\n"
             "  update --server URL --pid HEX --version X.YY [--beta N] --bootloader classic|second-gen|hjz\n"
             "        [bootloader options of flash] [--row N] [--downloads DIR] [--language TAG] [--beta-builds]\n"
             "        [--manual] [--dump-flash PATH] [--fault KIND:N]... [--record FILE]\n"
             "                                       one whole update through the update workflow, as JSON lines\n"
             "  replay RECORDING [--file FIRMWARE] [--speed real|virtual]\n"
             "                                       replay a recorded update against the product on the virtual bus\n"
             "  --server URL stands for all three firmware servers, --downloads DIR for the Downloads directory,\n"
             "  --language TAG for the first preferred language, --beta-builds for the beta switch (this run only).\n");
}

int run(const QString &command, const QStringList &args)
{
    if (command == QLatin1String("discover"))
        return flashwell::lab::runDiscover(args);
    if (command == QLatin1String("flash"))
        return flashwell::lab::runFlash(args);
    if (command == QLatin1String("server"))
        return flashwell::lab::runServer(args);
    if (command == QLatin1String("update"))
        return flashwell::lab::runUpdate(args);
    if (command == QLatin1String("replay"))
        return flashwell::lab::runReplay(args);
    if (command == QLatin1String("build-firmware"))
        return flashwell::lab::runBuildFirmware(args);
    if (command == QLatin1String("releases"))
        return flashwell::lab::runReleases(args);
    if (command == QLatin1String("newest"))
        return flashwell::lab::runNewest(args);
    if (command == QLatin1String("download"))
        return flashwell::lab::runDownload(args);
    usage(stderr);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    flashwell::ApplicationContext context; // dies before the application
    // The program's own options come before the command; every word from the command on is the
    // command's (`update --version X.YY` is not the program's --version).
    const flashwell::CommandLine::Result line =
        flashwell::CommandLine(
            flashwell::CommandLine::Rules{.optionPrefix = QStringLiteral("-"), .argumentEndsOptions = true})
            .helpAndVersion()
            .read(app.arguments().mid(1));
    if (line.request == flashwell::CommandLine::Request::Help) {
        usage(stdout);
        return 0;
    }
    if (line.request == flashwell::CommandLine::Request::Version) {
        std::printf("%s\n", qPrintable(flashwell::CommandLine::versionLine(QStringLiteral("flashwell-lab"))));
        return 0;
    }
    if (line.problem || line.arguments.isEmpty()) {
        usage(stderr);
        return 2;
    }
    const QString command = line.arguments.first();
    const QStringList args = line.arguments.mid(1);
    // A lab run has settings of its own, in a temporary store: nothing it sets (the beta switch,
    // a language) reaches the user's settings, and the user's settings do not steer it.
    QTemporaryDir settings;
    if (!settings.isValid()) {
        std::fprintf(stderr, "flashwell-lab: cannot create a temporary settings store\n");
        return 2;
    }
    flashwell::UserDefaults::useFileForStandard(settings.filePath(QStringLiteral("defaults.ini")));

    const int status = run(command, args);
    flashwell::UserDefaults::useFileForStandard({}); // closed before its folder goes
    return status;
}
