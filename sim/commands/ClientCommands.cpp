#include "commands/ClientCommands.h"

#include "commands/JsonLines.h"
#include "commands/OptionProblems.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/UserDefaults.h"

#include <QEventLoop>
#include <QJsonObject>
#include <QMetaProperty>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <charconv>
#include <cstdio>
#include <map>
#include <optional>

namespace flashwell::lab {

namespace {

// A server that never answers is given up after this long.
constexpr int kAnswerWaitMs = 60'000;
// Once every request has finished, the blocks have this long to be called before the command
// concludes that none will be.
constexpr int kBlockGraceMs = 500;

enum class Value { Text, Integer, Float, Flag };

struct Command
{
    const char *name;
    const char *usage;
    std::map<QString, Value> options;
    QStringList required;
};

struct Parsed
{
    std::map<QString, QString> values;
    bool has(const char *option) const { return values.count(QString::fromLatin1(option)) != 0; }
    QString text(const char *option) const
    {
        const auto it = values.find(QString::fromLatin1(option));
        return it == values.end() ? QString() : it->second;
    }
    int integer(const char *option) const { return text(option).toInt(); }
};

int usageError(const Command &command, const QString &message)
{
    std::fprintf(stderr, "flashwell-lab %s: %s\nusage: flashwell-lab %s %s\n", command.name, qPrintable(message),
                 command.name, command.usage);
    return 2;
}

// Reads the arguments against the command's table; an error text, empty when they are good.
QString parse(const Command &command, const QStringList &args, Parsed &out)
{
    CommandLine line(CommandLine::Rules{.optionPrefix = {}});
    for (const auto &[name, kind] : command.options) {
        if (kind == Value::Flag) {
            line.flag({name}, [&out, name = name] { out.values[name] = QString(); });
            continue;
        }
        line.value({name}, [&out, name = name, kind = kind](const QString &v) {
            bool ok = true;
            if (kind == Value::Integer)
                v.toInt(&ok);
            else if (kind == Value::Float)
                v.toFloat(&ok);
            if (!ok)
                return QStringLiteral("%1 needs a number, not \"%2\"").arg(name, v);
            out.values[name] = v;
            return QString();
        });
    }
    if (const auto problem = line.read(args).problem)
        return problemText(*problem);
    for (const QString &r : command.required)
        if (!out.values.count(r))
            return QStringLiteral("%1 is required").arg(r);
    return {};
}

// "--server URL" as a base URL ending in "/", so "http://h:1/x" and "http://h:1/x/" ask alike.
std::optional<QUrl> serverBase(const QString &text)
{
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return std::nullopt;
    if (!url.path().endsWith(QLatin1Char('/')))
        url.setPath(url.path() + QLatin1Char('/'));
    return url;
}

// Applies the options every client command shares to this run's (temporary) settings and server
// configuration; an error text for a bad server address.
QString applyCommon(const Parsed &p)
{
    UserDefaults &defaults = UserDefaults::standard();
    if (p.has("--beta-builds"))
        defaults.setObject(true, QStringLiteral("UserDefaults_isBeta"));
    if (p.has("--language"))
        defaults.setObject(QStringList{p.text("--language")}, QStringLiteral("AppleLanguages"));
    ServerConfig config = ServerConfig::current();
    if (p.has("--server")) {
        const auto base = serverBase(p.text("--server"));
        if (!base)
            return QStringLiteral("--server needs an http:// or https:// URL, not \"%1\"").arg(p.text("--server"));
        config.primary = config.china = config.beta = *base;
    }
    if (p.has("--downloads"))
        config.downloadsRoot = p.text("--downloads");
    ServerConfig::install(config);
    return {};
}

// A float as its shortest decimal text, so 5.02f prints as 5.02 and not 5.019999980926514.
double shortestDouble(float value)
{
    char text[32];
    const auto r = std::to_chars(std::begin(text), std::end(text), value);
    return QByteArray(text, static_cast<qsizetype>(r.ptr - text)).toDouble();
}

// Every property of the record, read through its getters (so `fileName` is the display name).
QJsonObject toJson(const Firmware &firmware)
{
    QJsonObject out;
    const QMetaObject &meta = Firmware::staticMetaObject;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        const QVariant value = property.readOnGadget(&firmware);
        if (value.typeId() == QMetaType::Float)
            out.insert(QString::fromLatin1(property.name()), shortestDouble(value.toFloat()));
        else
            out.insert(QString::fromLatin1(property.name()), QJsonValue::fromVariant(value));
    }
    return out;
}

// Runs the event loop for one client operation. The command ends when its block has answered and
// every request it caused (the download report too) has finished; or, when no block answers,
// a short grace after the last request finished; or after kAnswerWaitMs at the latest.
class ClientRun
{
public:
    ClientRun()
    {
        QObject::connect(&SHttp::network(), &QNetworkAccessManager::finished, &m_loop, [this] {
            QTimer::singleShot(0, &m_loop, [this] { check(false); });
            QTimer::singleShot(kBlockGraceMs, &m_loop, [this] { check(true); });
        });
        QTimer::singleShot(kAnswerWaitMs, &m_loop, [this] { m_loop.exit(m_answer.value_or(-1)); });
    }

    // The block's verdict: the exit status once the network is quiet.
    void answer(int status)
    {
        if (m_answer)
            return;
        m_answer = status;
        QTimer::singleShot(0, &m_loop, [this] { check(false); });
    }

    // What the blocks belong to: the run, which outlives every request it waits for.
    const QObject *context() const { return &m_loop; }

    // The exit status, or -1 when no block answered.
    int exec()
    {
        if (m_answer && idle())
            return *m_answer;
        return m_loop.exec();
    }

private:
    static bool idle()
    {
        const auto replies = SHttp::network().findChildren<QNetworkReply *>();
        return std::all_of(replies.begin(), replies.end(), [](const QNetworkReply *r) { return r->isFinished(); });
    }
    void check(bool graceOver)
    {
        if (!idle())
            return;
        if (m_answer)
            m_loop.exit(*m_answer);
        else if (graceOver)
            m_loop.exit(-1);
    }

    QEventLoop m_loop;
    std::optional<int> m_answer;
};

QString describe(const HttpError &error)
{
    return QStringLiteral("%1 (%2 %3)").arg(error.description, error.domain).arg(error.code);
}

// The options of the commands that ask a server, beside `own`.
std::map<QString, Value> withServerOptions(std::map<QString, Value> own)
{
    own.insert({{QStringLiteral("--server"), Value::Text},
                {QStringLiteral("--beta-builds"), Value::Flag},
                {QStringLiteral("--language"), Value::Text}});
    return own;
}

} // namespace

int runReleases(const QStringList &args)
{
    const Command command{"releases",
                          "--type N [--server URL] [--beta-builds] [--language TAG]",
                          withServerOptions({{QStringLiteral("--type"), Value::Integer}}),
                          {QStringLiteral("--type")}};
    Parsed p;
    if (QString error = parse(command, args, p); !error.isEmpty() || !(error = applyCommon(p)).isEmpty())
        return usageError(command, error);

    ClientRun run;
    SHttp::getUpdateFirmwaerWithType(
        p.integer("--type"), run.context(),
        [&run](const std::optional<QList<Firmware>> &list) {
            if (!list)
                return; // told below, with the answers that call no block
            for (const Firmware &firmware : *list)
                printJsonLine(toJson(firmware));
            run.answer(0);
        },
        [&run](const HttpError &error) {
            std::fprintf(stderr, "flashwell-lab releases: %s\n", qPrintable(describe(error)));
            run.answer(1);
        },
        [&run](RequestEnd end) {
            if (end != RequestEnd::NoResult)
                return;
            std::fprintf(stderr, "flashwell-lab releases: the server gave no list\n");
            run.answer(1);
        });
    const int status = run.exec();
    if (status < 0)
        std::fprintf(stderr, "flashwell-lab releases: the server gave no list\n");
    return status < 0 ? 1 : status;
}

int runNewest(const QStringList &args)
{
    const Command command{"newest",
                          "--type N --version X --beta N [--server URL] [--beta-builds] [--language TAG]",
                          withServerOptions({{QStringLiteral("--type"), Value::Integer},
                                             {QStringLiteral("--version"), Value::Float},
                                             {QStringLiteral("--beta"), Value::Integer}}),
                          {QStringLiteral("--type"), QStringLiteral("--version"), QStringLiteral("--beta")}};
    Parsed p;
    if (QString error = parse(command, args, p); !error.isEmpty() || !(error = applyCommon(p)).isEmpty())
        return usageError(command, error);

    // The newest release is a hint: no release, no answer and a failure all print nothing.
    ClientRun run;
    SHttp::getNewVersion(
        p.integer("--type"), p.text("--version").toFloat(), p.integer("--beta"), run.context(),
        [&run](const Firmware &firmware) {
            printJsonLine(toJson(firmware));
            run.answer(0);
        },
        [&run](const HttpError &) { run.answer(0); });
    run.exec();
    return 0;
}

int runDownload(const QStringList &args)
{
    const Command command{"download",
                          "--file-url URL --id N --size N [--md5 HEX] [--server URL] [--downloads DIR]",
                          {{QStringLiteral("--file-url"), Value::Text},
                           {QStringLiteral("--id"), Value::Integer},
                           {QStringLiteral("--size"), Value::Integer},
                           {QStringLiteral("--md5"), Value::Text},
                           {QStringLiteral("--server"), Value::Text},
                           {QStringLiteral("--downloads"), Value::Text}},
                          {QStringLiteral("--file-url"), QStringLiteral("--id"), QStringLiteral("--size")}};
    Parsed p;
    if (QString error = parse(command, args, p); !error.isEmpty() || !(error = applyCommon(p)).isEmpty())
        return usageError(command, error);

    ClientRun run;
    SHttp::dowmFirmwaerFile(
        p.text("--file-url"), run.context(),
        [&run](const QString &path) {
            printJsonLine({{QStringLiteral("path"), path}});
            run.answer(0);
        },
        [&run](const HttpError &error) {
            printJsonLine({{QStringLiteral("error"), error.description}, {QStringLiteral("code"), error.code}});
            run.answer(1);
        },
        p.integer("--id"), p.integer("--size"), p.has("--md5") ? p.text("--md5") : QString());
    const int status = run.exec();
    if (status < 0) {
        printJsonLine({{QStringLiteral("error"), QStringLiteral("the server did not answer the download")},
                       {QStringLiteral("code"), 0}});
        return 1;
    }
    return status;
}

} // namespace flashwell::lab
