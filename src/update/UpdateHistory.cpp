#include "update/UpdateHistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>

namespace flashwell {

namespace {

constexpr const char *kFolder = "Fenwyk Flashwell";
constexpr const char *kFileName = "update-history.jsonl";
// A history line longer than this is not one of ours.
constexpr qsizetype kMaxLineBytes = qsizetype{64} * 1024;

struct OutcomeName
{
    UpdateHistoryRecord::Outcome outcome;
    const char *name;
};
constexpr OutcomeName kOutcomes[] = {
    {UpdateHistoryRecord::Outcome::Success, "success"},
    {UpdateHistoryRecord::Outcome::Failed, "failed"},
    {UpdateHistoryRecord::Outcome::Cancelled, "cancelled"},
    {UpdateHistoryRecord::Outcome::Interrupted, "interrupted"},
};

QString hex4(uint16_t v)
{
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0'));
}

std::optional<uint16_t> parseHex4(const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    bool ok = false;
    const uint v = value.toString().toUInt(&ok, 16);
    return ok && v <= 0xFFFF ? std::optional<uint16_t>(static_cast<uint16_t>(v)) : std::nullopt;
}

} // namespace

QJsonObject UpdateHistoryRecord::toJson() const
{
    return QJsonObject{
        {QStringLiteral("time"), time.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("device"), deviceName},
        {QStringLiteral("vid"), hex4(vid)},
        {QStringLiteral("pid"), hex4(pid)},
        {QStringLiteral("from"), fromVersion},
        {QStringLiteral("to"), toVersion},
        {QStringLiteral("file"), fileName},
        {QStringLiteral("outcome"), outcomeName(outcome)},
        {QStringLiteral("error"), error},
    };
}

std::optional<UpdateHistoryRecord> UpdateHistoryRecord::fromJson(const QJsonObject &o)
{
    static const char *const kStrings[] = {"time", "device", "from", "to", "file", "outcome", "error"};
    for (const char *key : kStrings) {
        if (!o.value(QLatin1String(key)).isString())
            return std::nullopt;
    }
    UpdateHistoryRecord r;
    r.time = QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    const auto vid = parseHex4(o.value(QStringLiteral("vid")));
    const auto pid = parseHex4(o.value(QStringLiteral("pid")));
    const auto outcome = outcomeFromName(o.value(QStringLiteral("outcome")).toString());
    if (!r.time.isValid() || !vid || !pid || !outcome)
        return std::nullopt;
    r.time = r.time.toUTC();
    r.deviceName = o.value(QStringLiteral("device")).toString();
    r.vid = *vid;
    r.pid = *pid;
    r.fromVersion = o.value(QStringLiteral("from")).toString();
    r.toVersion = o.value(QStringLiteral("to")).toString();
    r.fileName = o.value(QStringLiteral("file")).toString();
    r.outcome = *outcome;
    r.error = o.value(QStringLiteral("error")).toString();
    return r;
}

QString UpdateHistoryRecord::outcomeName(Outcome outcome)
{
    for (const OutcomeName &n : kOutcomes) {
        if (n.outcome == outcome)
            return QString::fromLatin1(n.name);
    }
    return {};
}

std::optional<UpdateHistoryRecord::Outcome> UpdateHistoryRecord::outcomeFromName(const QString &name)
{
    for (const OutcomeName &n : kOutcomes) {
        if (name == QLatin1String(n.name))
            return n.outcome;
    }
    return std::nullopt;
}

QString UpdateHistory::defaultPath()
{
    QString base;
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
#else
    base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#endif
    return QStringLiteral("%1/%2/%3").arg(base, QLatin1String(kFolder), QLatin1String(kFileName));
}

UpdateHistory::UpdateHistory(QString path)
    : m_path(std::move(path))
{}

bool UpdateHistory::append(const UpdateHistoryRecord &record, QString *error)
{
    auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(QStringLiteral("cannot create the folder %1").arg(info.absolutePath()));
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return fail(QStringLiteral("cannot open %1: %2").arg(m_path, file.errorString()));
    QByteArray line = QJsonDocument(record.toJson()).toJson(QJsonDocument::Compact) + '\n';
    // A torn last line (a writer that died mid-line) must not swallow this record: start afresh.
    const qint64 size = file.size();
    if (size > 0 && file.seek(size - 1)) {
        char last = '\n';
        if (file.getChar(&last) && last != '\n')
            line.prepend('\n');
    }
    // One write of the whole line: O_APPEND keeps concurrent writers' lines apart.
    if (file.write(line) != line.size() || !file.flush())
        return fail(QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString()));
    return true;
}

UpdateHistory::Contents UpdateHistory::read() const
{
    Contents contents;
    QFile file(m_path);
    if (!file.exists()) {
        contents.missing = true;
        return contents;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        contents.error = QStringLiteral("cannot read %1: %2").arg(m_path, file.errorString());
        return contents;
    }
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(kMaxLineBytes + 1).trimmed();
        if (line.isEmpty())
            continue;
        QJsonParseError parseError{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &parseError);
        const auto record = parseError.error == QJsonParseError::NoError && document.isObject()
                                ? UpdateHistoryRecord::fromJson(document.object())
                                : std::nullopt;
        if (record)
            contents.records.append(*record);
        else
            ++contents.skippedLines;
    }
    if (file.error() != QFileDevice::NoError)
        contents.error = QStringLiteral("cannot read %1: %2").arg(m_path, file.errorString());
    return contents;
}

} // namespace flashwell
