#include "lab/BuildFirmwareCommand.h"
#include "lab/DiscoverCommand.h"
#include "lab/FlashCommand.h"
#include "lab/ServerCommand.h"
#include "lab/UpdateCommand.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {
void usage()
{
    std::fprintf(
        stderr, "usage: flashwell-lab <command> [options]\n"
                "  discover [--hidapi [--seconds N]]   watch devices and print each announcement as JSON\n"
                "  flash --bootloader classic --file PATH [--usb-pid HEX] [--usb-vid HEX]\n"
                "        [--boot-version HEX] [--hw-code N] [--fw-type N] [--receiver-settings]\n"
                "  flash --bootloader second-gen --file PATH [--usb-pid 3208|3002] [--reported-pid HEX]\n"
                "        [--info-pid HEX] [--info-subtype N] [--app-zone HEX] [--erase-unit N]\n"
                "  flash --bootloader hjz --file PATH [--dev-id 386|387]\n"
                "        [--dump-flash PATH] [--fault drop-reply:N|corrupt-write:N|unplug-after:N|fail-send:N]...\n"
                "                                       update a virtual bootloader and print each callback as JSON\n"
                "  build-firmware --out PATH [--format classic|second-gen|hjz] [--version N] [--beta N]\n"
                "        [--address HEX] [--pid HEX] [--size N] [--radio-size N] [--dev-id N] [--page-size N]\n"
                "                                       write a firmware file of patterned data\n"
                "  server [--port N] [--dir PATH]      run the lab firmware server on 127.0.0.1 (PATH/releases.json)\n"
                "  update --server URL --pid HEX --version X.YY [--beta N] --bootloader classic|second-gen|hjz\n"
                "        [bootloader options of flash] [--row N] [--downloads DIR] [--language TAG] [--beta-builds]\n"
                "        [--manual] [--dump-flash PATH] [--fault SPEC]...\n"
                "                                       one whole update through the update workflow, as JSON lines\n");
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    if (args.isEmpty()) {
        usage();
        return 2;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("discover"))
        return flashwell::lab::runDiscover(args);
    if (command == QLatin1String("flash"))
        return flashwell::lab::runFlash(args);
    if (command == QLatin1String("server"))
        return flashwell::lab::runServer(args);
    if (command == QLatin1String("update"))
        return flashwell::lab::runUpdate(args);
    if (command == QLatin1String("build-firmware"))
        return flashwell::lab::runBuildFirmware(args);
    usage();
    return 2;
}
