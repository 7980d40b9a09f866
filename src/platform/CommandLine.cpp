#include "platform/CommandLine.h"

namespace flashwell {

CommandLine::CommandLine()
    : CommandLine(Rules{})
{}

CommandLine::CommandLine(Rules rules)
    : m_rules(std::move(rules))
{}

CommandLine &CommandLine::flag(const QStringList &names, std::function<void()> set)
{
    Option option;
    option.names = names;
    option.set = std::move(set);
    m_options.push_back(std::move(option));
    return *this;
}

CommandLine &CommandLine::value(const QStringList &names, std::function<QString(const QString &)> take,
                                const QString &missing)
{
    Option option;
    option.names = names;
    option.takesValue = true;
    option.take = std::move(take);
    option.missing = missing;
    m_options.push_back(std::move(option));
    return *this;
}

CommandLine &CommandLine::once()
{
    if (!m_options.empty())
        m_options.back().once = true;
    return *this;
}

CommandLine &CommandLine::arguments(std::function<QString(const QString &)> take)
{
    m_takeArgument = std::move(take);
    return *this;
}

CommandLine &CommandLine::helpAndVersion()
{
    Option help;
    help.names = QStringList{QStringLiteral("--help"), QStringLiteral("-h")};
    help.request = Request::Help;
    m_options.push_back(std::move(help));
    Option version;
    version.names = QStringList{QStringLiteral("--version")};
    version.request = Request::Version;
    m_options.push_back(std::move(version));
    return *this;
}

bool CommandLine::isOption(const QString &word) const
{
    return m_rules.optionPrefix.isEmpty() || (word.startsWith(m_rules.optionPrefix) && word.size() > 1);
}

bool CommandLine::isValue(const QString &word) const
{
    return m_rules.dashedValues || !word.startsWith(QLatin1String("--"));
}

const CommandLine::Option *CommandLine::find(const QString &word, std::vector<bool> &read) const
{
    for (size_t i = 0; i < m_options.size(); ++i) {
        const Option &option = m_options[i];
        if (!option.names.contains(word) || (option.once && read[i]))
            continue;
        read[i] = true;
        return &option;
    }
    return nullptr;
}

CommandLine::Result CommandLine::read(const QStringList &words) const
{
    Result r;
    std::vector<bool> seen(m_options.size(), false);
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words[i];
        const bool hasValue = i + 1 < words.size() && isValue(words[i + 1]);
        if (!isOption(word)) {
            if (m_rules.argumentEndsOptions) {
                r.arguments += words.mid(i);
                r.unread += words.mid(i);
                break;
            }
            r.arguments.append(word);
            r.unread.append(word);
            if (m_takeArgument) {
                if (QString why = m_takeArgument(word); !why.isEmpty()) {
                    r.problem = Problem{Problem::Kind::BadArgument, word, {}, why};
                    break;
                }
            }
            continue;
        }
        const Option *option = find(word, seen);
        if (!option) {
            if (m_rules.unknown == Unknown::Skip) {
                r.unread.append(word);
                continue;
            }
            if (m_rules.unknown == Unknown::ReportWithValue)
                r.problem = hasValue ? Problem{Problem::Kind::UnknownOption, word, words[i + 1], {}}
                                     : Problem{Problem::Kind::MissingValue, word, {}, {}};
            else
                r.problem = Problem{Problem::Kind::UnknownOption, word, {}, {}};
            break;
        }
        if (option->request != Request::Run) {
            r.request = option->request;
            break;
        }
        if (!option->takesValue) {
            option->set();
            continue;
        }
        if (!hasValue) {
            r.problem = Problem{Problem::Kind::MissingValue, word, {}, option->missing};
            break;
        }
        const QString &value = words[++i];
        if (QString why = option->take(value); !why.isEmpty()) {
            r.problem = Problem{Problem::Kind::BadValue, word, value, why};
            break;
        }
    }
    return r;
}

std::function<QString(const QString &)> CommandLine::into(QString &field)
{
    return [&field](const QString &value) {
        field = value;
        return QString();
    };
}

QString CommandLine::versionLine(const QString &program)
{
    return program + QLatin1Char(' ') + QStringLiteral(FLASHWELL_VERSION);
}

} // namespace flashwell
