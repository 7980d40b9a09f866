#include "commands/BuildFirmwareCommand.h"

#include "commands/OptionProblems.h"
#include "models/FirmwareFileBuilder.h"

#include <QFile>

#include <cstdio>
#include <type_traits>

namespace flashwell::lab {

int runBuildFirmware(const QStringList &args)
{
    ClassicFirmware firmware;
    QString out;
    QString format = QStringLiteral("classic");
    int size = 4096;
    int radioSize = 0;
    HjzFirmware hjzFile;
    // The numbers read into their fields; a word that is not one (or a negative size) is refused.
    auto number = [](auto &field, int base = 10) {
        return [&field, base](const QString &v) {
            bool ok = false;
            using Field = std::remove_reference_t<decltype(field)>;
            if constexpr (std::is_signed_v<Field>) {
                field = v.toInt(&ok, base);
                ok = ok && field >= 0;
            } else {
                field = static_cast<Field>(v.toUInt(&ok, base));
            }
            return ok ? QString() : QStringLiteral("not a number");
        };
    };
    const CommandLine::Result line =
        CommandLine(CommandLine::Rules{.optionPrefix = {}, .unknown = CommandLine::Unknown::ReportWithValue})
            .value({QStringLiteral("--out")}, CommandLine::into(out))
            .value({QStringLiteral("--version")}, number(firmware.version))
            .value({QStringLiteral("--beta")}, number(firmware.beta))
            .value({QStringLiteral("--address")}, number(firmware.address, 16))
            .value({QStringLiteral("--pid")}, number(firmware.productId, 16))
            .value({QStringLiteral("--size")}, number(size))
            .value({QStringLiteral("--radio-size")}, number(radioSize))
            .value({QStringLiteral("--format")}, CommandLine::into(format))
            .value({QStringLiteral("--dev-id")}, number(hjzFile.deviceId))
            .value({QStringLiteral("--page-size")}, number(hjzFile.pageSize))
            .read(args);
    if (const auto &problem = line.problem) {
        std::fprintf(stderr, "flashwell-lab build-firmware: %s\n", qPrintable(pairProblemText(*problem)));
        return 2;
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
