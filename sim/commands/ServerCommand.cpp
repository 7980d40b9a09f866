#include "commands/ServerCommand.h"

#include "commands/OptionProblems.h"
#include "server/LabFirmwareServer.h"

#include <QCoreApplication>

#include <cstdio>

namespace flashwell::lab {

int runServer(const QStringList &args)
{
    quint16 port = 0;
    QString dir;
    const CommandLine::Result line =
        CommandLine(CommandLine::Rules{.optionPrefix = {}, .unknown = CommandLine::Unknown::ReportWithValue})
            .value({QStringLiteral("--port")},
                   [&port](const QString &v) {
                       bool ok = false;
                       port = static_cast<quint16>(v.toUInt(&ok));
                       return ok ? QString() : QStringLiteral("not a port number");
                   })
            .value({QStringLiteral("--dir")}, CommandLine::into(dir))
            .read(args);
    if (const auto &problem = line.problem) {
        std::fprintf(stderr, "flashwell-lab server: %s\n", qPrintable(pairProblemText(*problem)));
        return 2;
    }
    LabFirmwareServer server;
    QString error;
    if (!dir.isEmpty() && !server.loadDirectory(dir, &error)) {
        std::fprintf(stderr, "flashwell-lab server: %s\n", qPrintable(error));
        return 2;
    }
    if (!server.listen(port)) {
        std::fprintf(stderr, "flashwell-lab server: cannot listen on 127.0.0.1:%u\n", port);
        return 2;
    }
    std::printf("{\"listening\":\"%s\"}\n", qPrintable(server.baseUrl().toString()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

} // namespace flashwell::lab
