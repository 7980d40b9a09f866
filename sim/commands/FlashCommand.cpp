#include "commands/FlashCommand.h"

#include "commands/BootloaderArguments.h"
#include "commands/JsonLines.h"
#include "commands/OptionProblems.h"
#include "runs/LabFlashRun.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <optional>

namespace flashwell::lab {

namespace {

struct Options
{
    QString dumpFlash;
    LabFlashOptions run;
};

int usageError(const QString &message)
{
    std::fprintf(stderr, "flashwell-lab flash: %s\n", qPrintable(message));
    return 2;
}

// Parses the arguments; returns an error text, empty on success.
QString parse(const QStringList &args, Options &o)
{
    BootloaderArguments boot(o.run);
    CommandLine line(CommandLine::Rules{.optionPrefix = {}});
    boot.addTo(line);
    line.value({QStringLiteral("--file")}, CommandLine::into(o.run.file), QStringLiteral("--file needs a path"))
        .value({QStringLiteral("--record")}, CommandLine::into(o.run.recordPath),
               QStringLiteral("--record needs a path"));
    if (const auto problem = line.read(args).problem)
        return problemText(*problem);
    if (QString error = boot.finish(); !error.isEmpty())
        return error;
    o.dumpFlash = boot.dumpFlash();
    if (o.run.file.isEmpty())
        return QStringLiteral("--file is required");
    return {};
}

} // namespace

int runFlash(const QStringList &args)
{
    Options o;
    if (const QString error = parse(args, o); !error.isEmpty())
        return usageError(error);
    QFile probe(o.run.file);
    if (!probe.open(QIODevice::ReadOnly))
        return usageError(QStringLiteral("cannot read %1: %2").arg(o.run.file, probe.errorString()));
    probe.close();

    // The run is torn down before the result line, so whatever its end still causes (the
    // device leaving, a reset) is printed before it, never after.
    FlashRunResult result;
    QJsonObject dump;
    {
        LabFlashRun flash(o.run);
        if (const QString error = flash.recordingError(); !error.isEmpty())
            return usageError(error);
        flash.onEvent = [](const QJsonObject &event) { printJsonLine(event); };
        result = flash.run();
        if (!o.dumpFlash.isEmpty())
            dump = flash.flashDump();
    }
    bool dumpWritten = true;
    if (!o.dumpFlash.isEmpty()) {
        QFile out(o.dumpFlash);
        dumpWritten = out.open(QIODevice::WriteOnly | QIODevice::Truncate)
                      && out.write(QJsonDocument(dump).toJson(QJsonDocument::Compact) + '\n') >= 0;
        if (!dumpWritten)
            usageError(QStringLiteral("cannot write %1").arg(o.dumpFlash));
    }
    printResultLine(
        QJsonObject{{QStringLiteral("result"), result.success ? QStringLiteral("success") : QStringLiteral("failed")},
                    {QStringLiteral("message"), result.message},
                    {QStringLiteral("reports_out"), static_cast<qint64>(result.reportsOut)},
                    {QStringLiteral("virtual_ms"), static_cast<qint64>(result.virtualMs)}});
    if (!dumpWritten)
        return 2;
    return result.success ? 0 : 1;
}

} // namespace flashwell::lab
