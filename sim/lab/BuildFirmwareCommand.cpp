#include "lab/BuildFirmwareCommand.h"

#include "FirmwareFileBuilder.h"

#include <QFile>

#include <cstdio>

namespace flashwell::lab {

int runBuildFirmware(const QStringList &args)
{
    ClassicFirmware firmware;
    QString out;
    QString format = QStringLiteral("classic");
    int size = 4096;
    int radioSize = 0;
    HjzFirmware hjzFile;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "flashwell-lab build-firmware: %s needs a value\n", qPrintable(a));
            return 2;
        }
        const QString &v = args[++i];
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
        else if (a == QLatin1String("--radio-size"))
            radioSize = v.toInt(&ok);
        else if (a == QLatin1String("--format"))
            format = v;
        else if (a == QLatin1String("--dev-id"))
            hjzFile.deviceId = v.toUInt(&ok);
        else if (a == QLatin1String("--page-size"))
            hjzFile.pageSize = v.toUInt(&ok);
        else
            ok = false;
        if (!ok || size < 0 || radioSize < 0) {
            std::fprintf(stderr, "flashwell-lab build-firmware: bad option %s %s\n", qPrintable(a), qPrintable(v));
            return 2;
        }
    }
    if (out.isEmpty()) {
        std::fprintf(stderr, "flashwell-lab build-firmware: --out is required\n");
        return 2;
    }
    QByteArray bytes;
    if (format == QLatin1String("classic")) {
        firmware.data = patternBytes(size);
        bytes = firmware.build();
    } else if (format == QLatin1String("second-gen")) {
        // The main image, then (when asked) a radio image with pid field 0, and one with 1.
        std::vector<Vela2Record> records{
            {firmware.version, firmware.beta, firmware.address, firmware.productId, patternBytes(size)}};
        if (radioSize > 0) {
            records.emplace_back(firmware.version, firmware.beta, 0x00020000, 0, patternBytes(radioSize, 2));
            records.emplace_back(firmware.version, firmware.beta, 0x00020000, 1, patternBytes(radioSize, 2));
        }
        bytes = buildVela2File(records);
    } else if (format == QLatin1String("hjz")) {
        if (hjzFile.pageSize == 0 || size % static_cast<int>(hjzFile.pageSize) != 0) {
            std::fprintf(stderr, "flashwell-lab build-firmware: --size must be a whole number of pages\n");
            return 2;
        }
        hjzFile.data = patternBytes(size);
        bytes = hjzFile.build();
    } else {
        std::fprintf(stderr, "flashwell-lab build-firmware: unknown format %s (classic, second-gen, hjz)\n",
                     qPrintable(format));
        return 2;
    }
    QFile file(out);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) < 0) {
        std::fprintf(stderr, "flashwell-lab build-firmware: cannot write %s\n", qPrintable(out));
        return 2;
    }
    return 0;
}

} // namespace flashwell::lab
