#include "lab/ServerCommand.h"

#include "LabFirmwareServer.h"

#include <QCoreApplication>

#include <cstdio>

namespace flashwell::lab {

int runServer(const QStringList &args)
{
    quint16 port = 0;
    QString dir;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "flashwell-lab server: %s needs a value\n", qPrintable(a));
            return 2;
        }
        const QString &v = args[++i];
        bool ok = true;
        if (a == QLatin1String("--port"))
            port = static_cast<quint16>(v.toUInt(&ok));
        else if (a == QLatin1String("--dir"))
            dir = v;
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr, "flashwell-lab server: bad option %s %s\n", qPrintable(a), qPrintable(v));
            return 2;
        }
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
