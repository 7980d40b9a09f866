// Catches: start options misread among Qt's own, and --help or --version wrong, untranslated or failing.
#include "app/StartOptions.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <ostream>
#include <vector>

using flashwell::CommandLine;
using flashwell::StartOptions;

namespace {

TEST(StartOptions, RecordHelpAndVersionAmongQtsOwnWords)
{
    using Request = CommandLine::Request;
    const struct
    {
        std::vector<const char *> words;
        Request request;
        const char *recordPath;
    } rows[] = {
        {{}, Request::Run, ""},
        {{"--record", "update.jsonl"}, Request::Run, "update.jsonl"},
        {{"--record", "a.jsonl", "--record", "b.jsonl"}, Request::Run, "a.jsonl"}, // the first one
        {{"-platform", "offscreen", "--record", "f"}, Request::Run, "f"},          // Qt's options pass
        {{"--reverse", "stray"}, Request::Run, ""},                                // as does anything else
        {{"--record"}, Request::Run, ""},                                          // no file: no recording
        {{"--record", "--help"}, Request::Run, "--help"},
        {{"--help"}, Request::Help, ""},
        {{"-style", "fusion", "-h"}, Request::Help, ""},
        {{"--version", "--help"}, Request::Version, ""},
        {{"--bogus", "--version"}, Request::Version, ""},
    };
    for (const auto &row : rows) {
        const QStringList words = flashwell::test::strings(row.words);
        const StartOptions options = StartOptions::read(words);
        EXPECT_EQ(options.request, row.request) << qPrintable(words.join(u' '));
        EXPECT_EQ(options.recordPath, QString::fromUtf8(row.recordPath)) << qPrintable(words.join(u' '));
    }
}

#ifdef FLASHWELL_PROGRAM

struct ProgramRun
{
    const char *what;
    std::vector<const char *> args;
    const char *language;
    int status;
    const char *out;               // standard output starts with this; empty: nothing on it
    const char *err;               // standard error contains this
    bool wholeVersionLine = false; // standard output is exactly the version line, standard error empty
};

inline void PrintTo(const ProgramRun &c, std::ostream *os)
{
    *os << c.what;
}

class ProgramWithoutDisplay : public ::testing::TestWithParam<ProgramRun>
{
};

TEST_P(ProgramWithoutDisplay, AnswersHelpAndVersionOnStandardOutput)
{
    const ProgramRun &c = GetParam();
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LANGUAGE", "LC_MESSAGES"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
    env.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(c.language));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(FLASHWELL_PROGRAM), flashwell::test::strings(c.args));
    ASSERT_TRUE(program.waitForFinished(30'000));
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    const QString err = QString::fromUtf8(program.readAllStandardError());
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), c.status) << qPrintable(err);
    if (*c.out)
        EXPECT_TRUE(out.startsWith(QString::fromUtf8(c.out))) << qPrintable(out);
    else
        EXPECT_TRUE(out.isEmpty()) << qPrintable(out);
    EXPECT_TRUE(err.contains(QString::fromUtf8(c.err))) << qPrintable(err);
    if (c.wholeVersionLine) {
        EXPECT_EQ(out, CommandLine::versionLine(QStringLiteral("flashwell")) + QLatin1Char('\n'));
        EXPECT_TRUE(err.isEmpty()) << qPrintable(err);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramWithoutDisplay,
    ::testing::Values(
        ProgramRun{"version", {"--version"}, "en_US.UTF-8", 0, "flashwell ", "", true},
        ProgramRun{"help", {"--help"}, "en_US.UTF-8", 0, "usage: flashwell [--record FILE]\n", ""},
        ProgramRun{"help in Chinese", {"-h"}, "zh_CN.UTF-8", 0, "用法：flashwell [--record 文件]\n", ""},
        ProgramRun{"help after Qt's options", {"-platform", "xcb", "--help"}, "en_US.UTF-8", 0, "usage: flashwell", ""},
        ProgramRun{"no options", {}, "en_US.UTF-8", 1, "", "no graphical session found"},
        ProgramRun{
            "unknown options are no usage error", {"--bogus"}, "en_US.UTF-8", 1, "", "no graphical session found"}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

#endif

} // namespace
