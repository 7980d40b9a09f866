#include "lab/DiscoverCommand.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {
void usage()
{
    std::fprintf(stderr, "usage: flashwell-lab <command> [options]\n"
                         "  discover [--hidapi [--seconds N]]   watch devices and print each announcement as JSON\n");
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
    usage();
    return 2;
}
