// Catches: a command line read out of order or past its first problem, a problem misreported, help missed.
#include "platform/CommandLine.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <optional>
#include <ostream>
#include <vector>

using flashwell::CommandLine;
using Kind = CommandLine::Problem::Kind;
using Request = CommandLine::Request;

namespace {

// The rule sets the programs use, by the kind of program.
enum class Style {
    Default,     // "--" options, arguments beside them (the lab's replay)
    Terminal,    // "-" options, values never start with "--" (flashwell-cli)
    OptionsOnly, // every word an option (the lab's flash, update and client commands)
    Pairs,       // every word an option with a value (the lab's server and build-firmware)
    Lenient,     // unknown options passed over (the window's program, the lab's discover)
    Commands,    // the first argument is a command that reads the rest (flashwell-lab)
};

CommandLine::Rules rulesOf(Style style)
{
    switch (style) {
    case Style::Default:
        break;
    case Style::Terminal:
        return {.optionPrefix = QStringLiteral("-"), .dashedValues = false};
    case Style::OptionsOnly:
        return {.optionPrefix = {}};
    case Style::Pairs:
        return {.optionPrefix = {}, .unknown = CommandLine::Unknown::ReportWithValue};
    case Style::Lenient:
        return {.optionPrefix = QStringLiteral("-"), .unknown = CommandLine::Unknown::Skip};
    case Style::Commands:
        return {.optionPrefix = QStringLiteral("-"), .argumentEndsOptions = true};
    }
    return {};
}

// Words, arguments and unread words are written as one text, split at spaces; what the table
// took at ", ".
struct Case
{
    const char *what;
    Style style;
    const char *words;
    const char *taken; // what the table's options and argument check saw, in order
    const char *arguments = "";
    const char *unread = "";
    std::optional<CommandLine::Problem> problem = std::nullopt;
    Request request = Request::Run;
};

QStringList split(const char *text, const char *separator = " ")
{
    return QString::fromUtf8(text).split(QLatin1String(separator), Qt::SkipEmptyParts);
}

inline void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.what;
}

CommandLine::Problem problem(Kind kind, const char *word, const char *value = "", const char *message = "")
{
    return {kind, QString::fromUtf8(word), QString::fromUtf8(value), QString::fromUtf8(message)};
}

class CommandLineReads : public ::testing::TestWithParam<Case>
{
};

// One table of options for every style: a flag, a value that refuses "bad", a value with its own
// text for a missing value, a value read once, and an argument check that refuses "extra".
TEST_P(CommandLineReads, InArgumentOrderUpToTheFirstProblem)
{
    const Case &c = GetParam();
    QStringList taken;
    auto keep = [&taken](const char *name) {
        return [&taken, name](const QString &v) {
            if (v == QLatin1String("bad"))
                return QStringLiteral("no bad values");
            taken << QString::fromLatin1(name) + QLatin1Char('=') + v;
            return QString();
        };
    };
    const CommandLine::Result r =
        CommandLine(rulesOf(c.style))
            .helpAndVersion()
            .flag({QStringLiteral("--flag"), QStringLiteral("-f")}, [&taken] { taken << QStringLiteral("flag"); })
            .value({QStringLiteral("--name")}, keep("name"))
            .value({QStringLiteral("--path")}, keep("path"), QStringLiteral("--path needs a path"))
            .value({QStringLiteral("--first")}, keep("first"))
            .once()
            .arguments([&taken](const QString &word) {
                if (word == QLatin1String("extra"))
                    return QStringLiteral("one too many");
                taken << QStringLiteral("argument ") + word;
                return QString();
            })
            .read(split(c.words));
    EXPECT_EQ(taken, split(c.taken, ", "));
    EXPECT_EQ(r.request, c.request);
    EXPECT_EQ(r.problem.has_value(), c.problem.has_value());
    if (r.problem && c.problem) {
        EXPECT_EQ(r.problem->kind, c.problem->kind);
        EXPECT_EQ(r.problem->word, c.problem->word);
        EXPECT_EQ(r.problem->value, c.problem->value);
        EXPECT_EQ(r.problem->message, c.problem->message);
    }
    EXPECT_EQ(r.arguments, split(c.arguments));
    EXPECT_EQ(r.unread, split(c.unread));
}

INSTANTIATE_TEST_SUITE_P(
    Good, CommandLineReads,
    ::testing::Values(
        Case{"options and arguments in their order", Style::Default, "a --name n --flag b --path p",
             "argument a, name=n, flag, argument b, path=p", "a b", "a b"},
        Case{"the last of a repeated option comes last", Style::Default, "--name x --name y", "name=x, name=y"},
        Case{"a value may look like an option", Style::Default, "--name --flag", "name=--flag"},
        Case{"a short name", Style::Terminal, "-f run", "flag, argument run", "run", "run"},
        Case{"a lone dash is an argument", Style::Terminal, "-", "argument -", "-", "-"},
        Case{"one dash is an argument where options take two", Style::Default, "-f", "argument -f", "-f", "-f"},
        Case{"a terminal value may start with one dash", Style::Terminal, "--name -x", "name=-x"},
        Case{"unknown options and their words are left unread", Style::Lenient, "-platform offscreen --flag --style",
             "argument offscreen, flag", "offscreen", "-platform offscreen --style"},
        Case{"an option read once leaves its repetition unread", Style::Lenient, "--first a --first b",
             "first=a, argument b", "b", "--first b"},
        Case{"a command takes every word after it", Style::Commands, "--flag update --version 1.02 --bogus", "flag",
             "update --version 1.02 --bogus", "update --version 1.02 --bogus"},
        Case{"nothing at all", Style::OptionsOnly, "", ""}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

INSTANTIATE_TEST_SUITE_P(
    HelpAndVersion, CommandLineReads,
    ::testing::Values(Case{"help stops reading", Style::Default, "--flag --help --bogus", "flag", "", "", std::nullopt,
                           Request::Help},
                      Case{"h is help", Style::Terminal, "-h", "", "", "", std::nullopt, Request::Help},
                      Case{"version stops reading", Style::OptionsOnly, "--version --name", "", "", "", std::nullopt,
                           Request::Version},
                      Case{"help among unknown options", Style::Lenient, "-style --help", "", "", "-style",
                           std::nullopt, Request::Help},
                      Case{"a problem before help wins", Style::Default, "--bogus --help", "", "", "",
                           problem(Kind::UnknownOption, "--bogus")},
                      Case{"help as a value is a value", Style::Default, "--name --help", "name=--help"},
                      Case{"a command's own version", Style::Commands, "update --version", "", "update --version",
                           "update --version"}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

INSTANTIATE_TEST_SUITE_P(
    Problems, CommandLineReads,
    ::testing::Values(
        Case{"an unknown option", Style::Default, "--flag --all --name x", "flag", "", "",
             problem(Kind::UnknownOption, "--all")},
        Case{"every word is an option", Style::OptionsOnly, "stray", "", "", "", problem(Kind::UnknownOption, "stray")},
        Case{"a short unknown option", Style::Terminal, "-x", "", "", "", problem(Kind::UnknownOption, "-x")},
        Case{"two dashes alone", Style::Terminal, "--", "", "", "", problem(Kind::UnknownOption, "--")},
        Case{"a value missing at the end", Style::Default, "--name", "", "", "", problem(Kind::MissingValue, "--name")},
        Case{"a missing value in the option's words", Style::OptionsOnly, "--path", "", "", "",
             problem(Kind::MissingValue, "--path", "", "--path needs a path")},
        Case{"the next option is no value", Style::Terminal, "--name --flag", "", "", "",
             problem(Kind::MissingValue, "--name")},
        Case{"a refused value", Style::Default, "--name ok --name bad --flag", "name=ok", "", "",
             problem(Kind::BadValue, "--name", "bad", "no bad values")},
        Case{"a refused argument", Style::Default, "one extra --flag", "argument one", "one extra", "one extra",
             problem(Kind::BadArgument, "extra", "", "one too many")},
        Case{"an unknown option with its value", Style::Pairs, "--name x --port 80", "name=x", "", "",
             problem(Kind::UnknownOption, "--port", "80")},
        Case{"an unknown option without a value", Style::Pairs, "--port", "", "", "",
             problem(Kind::MissingValue, "--port")},
        Case{"a lenient line still misses a known value", Style::Lenient, "--bogus --name", "", "", "--bogus",
             problem(Kind::MissingValue, "--name")},
        Case{"an unknown option before the command", Style::Commands, "--bogus update", "", "", "",
             problem(Kind::UnknownOption, "--bogus")}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

TEST(CommandLine, VersionLineIsTheProgramAndItsVersion)
{
    for (const char *program : {"flashwell", "flashwell-cli", "flashwell-lab"}) {
        const QString line = CommandLine::versionLine(QString::fromLatin1(program));
        const QRegularExpression form(QStringLiteral("^%1 \\d+\\.\\d+\\.\\d+$").arg(QString::fromLatin1(program)));
        EXPECT_TRUE(form.match(line).hasMatch()) << qPrintable(line);
    }
}

} // namespace
