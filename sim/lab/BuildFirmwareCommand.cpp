#include "lab/BuildFirmwareCommand.h"

#include "FirmwareFileBuilder.h"

#include <QFile>

#include <cstdio>

namespace flashwell::lab {

int runBuildFirmware(const QStringList &args)
{
    ClassicFirmware firmware;
    QString out;
    int size = 4096;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "flashwell-lab build-firmware: %s needs a value\n", qPrintable(a));
            return 2;
        }
        const QString v = args[++i];
        bool ok = true;
        if (a == QLatin1String("--out"))
            out = v;
        else if (a == QLatin1String("--version"))
            firmware.version = static_cast<uint16_t>(v.toUInt(&ok));
        else if (a == QLatin1String("--beta"))
            firmware.beta = static_cast<uint16_t>(v.toUInt(&ok));
        else if (a == QLatin1String("--address"))
            firmware.address = v.toUInt(&ok, 16);
        else if (a == QLatin1String("--pid"))
            firmware.productId = v.toUInt(&ok, 16);
        else if (a == QLatin1String("--size"))
            size = v.toInt(&ok);
        else
            ok = false;
        if (!ok || size < 0) {
            std::fprintf(stderr, "flashwell-lab build-firmware: bad option %s %s\n", qPrintable(a), qPrintable(v));
            return 2;
        }
    }
    if (out.isEmpty()) {
        std::fprintf(stderr, "flashwell-lab build-firmware: --out is required\n");
        return 2;
    }
    firmware.data = patternBytes(size);
    QFile file(out);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(firmware.build()) < 0) {
        std::fprintf(stderr, "flashwell-lab build-firmware: cannot write %s\n", qPrintable(out));
        return 2;
    }
    return 0;
}

} // namespace flashwell::lab
