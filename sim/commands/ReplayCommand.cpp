#include "commands/ReplayCommand.h"

#include "commands/JsonLines.h"
#include "commands/OptionProblems.h"
#include "platform/Bundle.h"
#include "runs/LabReplayRun.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace flashwell::lab {

namespace {

int usageError(const QString &message)
{
    std::fprintf(stderr,
                 "flashwell-lab replay: %s\n"
                 "usage: flashwell-lab replay RECORDING [--file FIRMWARE] [--speed real|virtual]\n",
                 qPrintable(message));
    return 2;
}

QString speedProblem()
{
    return QStringLiteral("--speed is real or virtual");
}

} // namespace

int runReplay(const QStringList &args)
{
    LabReplayOptions o;
    const CommandLine::Result options =
        CommandLine()
            .value({QStringLiteral("--file")}, CommandLine::into(o.firmwarePath), QStringLiteral("--file needs a path"))
            .value(
                {QStringLiteral("--speed")},
                [&](const QString &speed) {
                    if (speed != QLatin1String("real") && speed != QLatin1String("virtual"))
                        return speedProblem();
                    o.realTime = speed == QLatin1String("real");
                    return QString();
                },
                speedProblem())
            .arguments([&o](const QString &recording) {
                if (!o.recordingPath.isEmpty())
                    return QStringLiteral("one recording at a time (%1 is one too many)").arg(recording);
                o.recordingPath = recording;
                return QString();
            })
            .read(args);
    if (options.problem)
        return usageError(problemText(*options.problem));
    if (o.recordingPath.isEmpty())
        return usageError(QStringLiteral("name the recording to replay"));

    if (QCoreApplication *app = QCoreApplication::instance())
        Bundle::installTranslations(*app);
    LabReplayRun replay(o);
    QString error;
    if (!replay.load(&error)) {
        std::fprintf(stderr, "flashwell-lab replay: %s\n", qPrintable(error));
        printResultLine(QJsonObject{{QStringLiteral("result"), QStringLiteral("failed")},
                                    {QStringLiteral("message"), error},
                                    {QStringLiteral("reports"), 0}});
        return 2;
    }
    replay.onLine = [](const QJsonObject &line) { printJsonLine(line); };
    QElapsedTimer wall;
    wall.start();
    const ReplayResult result = replay.run();
    printResultLine(QJsonObject{{QStringLiteral("result"), result.outcomeName()},
                                {QStringLiteral("message"), result.message},
                                {QStringLiteral("reports"), result.reports},
                                {QStringLiteral("virtual_ms"), static_cast<qint64>(result.virtualMs)},
                                {QStringLiteral("wall_ms"), wall.elapsed()}});
    return result.outcome == ReplayResult::Outcome::Success ? 0 : 1;
}

} // namespace flashwell::lab
