#pragma once

#include "platform/CommandLine.h"

namespace flashwell::lab {

// How the lab's commands word a problem in their options: "unknown option --x",
// "--x needs a value", or the option's own text.
inline QString problemText(const CommandLine::Problem &problem)
{
    switch (problem.kind) {
    case CommandLine::Problem::Kind::UnknownOption:
        return QStringLiteral("unknown option %1").arg(problem.word);
    case CommandLine::Problem::Kind::MissingValue:
        return problem.message.isEmpty() ? QStringLiteral("%1 needs a value").arg(problem.word) : problem.message;
    case CommandLine::Problem::Kind::BadValue:
    case CommandLine::Problem::Kind::BadArgument:
        break;
    }
    return problem.message;
}

// How the commands whose options all take a value (server, build-firmware) word a problem:
// "--x needs a value", or "bad option --x VALUE" for an unknown option and a refused value alike.
inline QString pairProblemText(const CommandLine::Problem &problem)
{
    if (problem.kind == CommandLine::Problem::Kind::MissingValue)
        return QStringLiteral("%1 needs a value").arg(problem.word);
    return QStringLiteral("bad option %1 %2").arg(problem.word, problem.value);
}

} // namespace flashwell::lab
