#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace flashwell {

// How every program here reads its command line: a table of options, read word by word in
// argument order, so the first problem in the line is the one reported. Each program keeps its
// own words for a problem; this class only says which problem it is and where.
class CommandLine
{
public:
    // What the line asks for once read.
    enum class Request { Run, Help, Version };

    struct Problem
    {
        enum class Kind {
            UnknownOption, // `word` is no option of the table (`value`: see Unknown::ReportWithValue)
            MissingValue,  // `word` needs a value and none follows (`message`: the option's own text)
            BadValue,      // the option `word` refused `value`; `message` says why
            BadArgument,   // the argument `word` was refused; `message` says why
        };
        Kind kind = Kind::UnknownOption;
        QString word;
        QString value;
        QString message;
    };

    // How a word that looks like an option but is none of the table's is read.
    enum class Unknown {
        Report,          // a problem
        ReportWithValue, // a problem, with the word after it as its value (all options take one)
        Skip,            // left for someone else: see Result::unread
    };

    struct Rules
    {
        // A word that starts with this and is longer than one character is an option, any other
        // word an argument. Empty: every word is an option.
        QString optionPrefix = QStringLiteral("--");
        Unknown unknown = Unknown::Report;
        // False: a word that starts with "--" is never a value ("--release --yes" lacks its value).
        bool dashedValues = true;
        // The first argument ends the options: it and every word after it are arguments (a program
        // of commands that read options of their own).
        bool argumentEndsOptions = false;
    };

    struct Result
    {
        Request request = Request::Run;
        std::optional<Problem> problem;
        // The arguments, in order.
        QStringList arguments;
        // Every word no option of the table took (arguments and skipped options), in order.
        QStringList unread;
    };

    CommandLine();
    explicit CommandLine(Rules rules);

    // An option without a value.
    CommandLine &flag(const QStringList &names, std::function<void()> set);
    // An option with a value. `take` returns why it refuses the value, empty when it takes it;
    // `missing` is the problem's message when no value follows.
    CommandLine &value(const QStringList &names, std::function<QString(const QString &value)> take,
                       const QString &missing = {});
    // The option added last is read at its first occurrence only; later ones are unknown.
    CommandLine &once();
    // Each argument as it comes; `take` returns why it refuses one, empty when it takes it.
    CommandLine &arguments(std::function<QString(const QString &argument)> take);
    // "--help", "-h" and "--version": reading stops there and asks for help or the version.
    CommandLine &helpAndVersion();

    Result read(const QStringList &words) const;

    // A `take` that keeps any value in `field`.
    static std::function<QString(const QString &value)> into(QString &field);

    // What --version prints: "flashwell-cli 0.1.0".
    static QString versionLine(const QString &program);

private:
    struct Option
    {
        QStringList names;
        bool takesValue = false;
        bool once = false;
        Request request = Request::Run; // Help or Version: reading stops here
        std::function<void()> set;
        std::function<QString(const QString &)> take;
        QString missing;
    };

    bool isOption(const QString &word) const;
    bool isValue(const QString &word) const;
    const Option *find(const QString &word, std::vector<bool> &read) const;

    Rules m_rules;
    std::vector<Option> m_options;
    std::function<QString(const QString &)> m_takeArgument;
};

} // namespace flashwell
