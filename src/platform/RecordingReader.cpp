#include "platform/RecordingReader.h"

#include "platform/RecordingWriter.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>

#include <cmath>

namespace flashwell {

namespace {

struct Failure
{
    QString message;
};

bool isWhole(const QJsonValue &v, double min, double max)
{
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    return std::isfinite(d) && d == std::floor(d) && d >= min && d <= max;
}

int64_t number(const QJsonObject &o, const char *key, double min, double max, int line)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!isWhole(v, min, max))
        throw Failure{QStringLiteral("line %1: \"%2\" must be a whole number from %3 to %4")
                          .arg(line)
                          .arg(QLatin1String(key))
                          .arg(static_cast<qint64>(min))
                          .arg(static_cast<qint64>(max))};
    return static_cast<int64_t>(v.toDouble());
}

QByteArray hex(const QJsonObject &o, const char *key, int maxBytes, bool allowEmpty, int line)
{
    static const QRegularExpression form(QStringLiteral("^(?:[0-9a-fA-F]{2})*$"));
    const QJsonValue v = o.value(QLatin1String(key));
    const QString text = v.toString();
    if (!v.isString() || !form.match(text).hasMatch() || text.size() / 2 > maxBytes || (!allowEmpty && text.isEmpty()))
        throw Failure{QStringLiteral("line %1: \"%2\" must be %3hex bytes (at most %4)")
                          .arg(line)
                          .arg(QLatin1String(key), allowEmpty ? QString() : QStringLiteral("1 or more "))
                          .arg(maxBytes)};
    return QByteArray::fromHex(text.toLatin1());
}

QString handleOf(const QJsonObject &o, int line)
{
    QString handle = o.value(QStringLiteral("handle")).toString();
    if (handle.isEmpty() || handle.size() > 64)
        throw Failure{QStringLiteral("line %1: a device event needs a \"handle\"").arg(line)};
    return handle;
}

Recording parseOrThrow(const QByteArray &data)
{
    if (data.isEmpty())
        throw Failure{QStringLiteral("the recording is empty")};
    Recording r;
    QHash<QString, bool> present; // handle -> still attached
    int64_t lastT = 0;
    bool capped = false;
    int lineNo = 0;
    qsizetype at = 0;
    while (at < data.size()) {
        ++lineNo;
        const qsizetype end = data.indexOf('\n', at);
        const bool complete = end >= 0;
        const QByteArray text = data.mid(at, complete ? end - at : -1);
        at = complete ? end + 1 : data.size();
        if (text.trimmed().isEmpty()) {
            if (complete)
                continue;
            break;
        }
        QJsonParseError parseError{};
        const QJsonDocument doc = QJsonDocument::fromJson(text, &parseError);
        if (!doc.isObject()) {
            if (!complete)
                throw Failure{
                    QStringLiteral("line %1: the recording ends in the middle of a line (truncated)").arg(lineNo)};
            throw Failure{QStringLiteral("line %1: not a JSON object").arg(lineNo)};
        }
        const QJsonObject o = doc.object();
        if (lineNo == 1) {
            if (o.value(QStringLiteral("format")).toString() != QLatin1String(RecordingWriter::kFormat))
                throw Failure{QStringLiteral("line 1: not a Flashwell recording (no \"format\":\"%1\")")
                                  .arg(QLatin1String(RecordingWriter::kFormat))};
            const QJsonValue version = o.value(QStringLiteral("version"));
            if (!isWhole(version, 0, 1e9) || version.toInt() != RecordingWriter::kVersion)
                throw Failure{QStringLiteral("line 1: recording version %1 is not supported (this program reads "
                                             "version %2)")
                                  .arg(version.isDouble() ? QString::number(version.toDouble())
                                                          : QStringLiteral("\"%1\"").arg(version.toString()))
                                  .arg(RecordingWriter::kVersion)};
            r.header = o;
            continue;
        }
        if (capped)
            throw Failure{QStringLiteral("line %1: events after the line that ends the recording").arg(lineNo)};
        RecordingEvent e;
        e.line = lineNo;
        e.t = number(o, "t", 0, 1e15, lineNo);
        if (e.t < lastT)
            throw Failure{QStringLiteral("line %1: time goes back from %2 to %3 ms").arg(lineNo).arg(lastT).arg(e.t)};
        lastT = e.t;
        const QString kind = o.value(QStringLiteral("event")).toString();
        auto attached = [&](const QString &handle) {
            if (!present.contains(handle))
                throw Failure{QStringLiteral("line %1: device \"%2\" was never announced").arg(lineNo).arg(handle)};
            if (!present.value(handle))
                throw Failure{QStringLiteral("line %1: device \"%2\" has already left").arg(lineNo).arg(handle)};
        };
        if (kind == QLatin1String("arrived")) {
            e.kind = RecordingEvent::Kind::Arrived;
            e.handle = handleOf(o, lineNo);
            if (present.value(e.handle, false))
                throw Failure{QStringLiteral("line %1: device \"%2\" arrives twice").arg(lineNo).arg(e.handle)};
            e.vendorId = static_cast<uint16_t>(number(o, "vid", 0, 0xFFFF, lineNo));
            e.productId = static_cast<uint16_t>(number(o, "pid", 0, 0xFFFF, lineNo));
            e.usagePage = static_cast<uint16_t>(number(o, "usage_page", 0, 0xFFFF, lineNo));
            e.usage = static_cast<uint16_t>(number(o, "usage", 0, 0xFFFF, lineNo));
            e.descriptor = hex(o, "descriptor", 4096, true, lineNo);
            e.product = o.value(QStringLiteral("product")).toString();
            present.insert(e.handle, true);
        } else if (kind == QLatin1String("left")) {
            e.kind = RecordingEvent::Kind::Left;
            e.handle = handleOf(o, lineNo);
            attached(e.handle);
            present.insert(e.handle, false);
        } else if (kind == QLatin1String("open_failed")) {
            e.kind = RecordingEvent::Kind::OpenFailed;
            e.handle = handleOf(o, lineNo);
            attached(e.handle);
            e.error = static_cast<int>(number(o, "errno", 0, 4095, lineNo));
        } else if (kind == QLatin1String("output")) {
            e.kind = RecordingEvent::Kind::Output;
            e.handle = handleOf(o, lineNo);
            attached(e.handle);
            e.report = static_cast<int>(number(o, "report", 1, 1e9, lineNo));
            if (e.report != r.outputReports + 1)
                throw Failure{QStringLiteral("line %1: output report %2 out of order (report %3 expected)")
                                  .arg(lineNo)
                                  .arg(e.report)
                                  .arg(r.outputReports + 1)};
            ++r.outputReports;
            e.result = static_cast<IOReturn>(number(o, "result", INT32_MIN, UINT32_MAX, lineNo));
            e.bytes = hex(o, "bytes", RecordingReader::kMaxReportBytes, false, lineNo);
        } else if (kind == QLatin1String("input")) {
            e.kind = RecordingEvent::Kind::Input;
            e.handle = handleOf(o, lineNo);
            attached(e.handle);
            e.after = static_cast<int>(number(o, "after", 0, 1e9, lineNo));
            if (e.after > r.outputReports)
                throw Failure{QStringLiteral("line %1: an answer to report %2, which was never sent (%3 sent so far)")
                                  .arg(lineNo)
                                  .arg(e.after)
                                  .arg(r.outputReports)};
            e.bytes = hex(o, "bytes", RecordingReader::kMaxReportBytes, false, lineNo);
        } else if (kind == QLatin1String("update")) {
            e.kind = RecordingEvent::Kind::Update;
            e.step = o.value(QStringLiteral("step")).toString();
            if (e.step.isEmpty())
                throw Failure{QStringLiteral("line %1: an update event needs a \"step\"").arg(lineNo)};
            e.json = o;
        } else if (kind == QLatin1String("cap")) {
            e.kind = RecordingEvent::Kind::Cap;
            capped = true;
        } else {
            throw Failure{QStringLiteral("line %1: unknown event \"%2\"").arg(lineNo).arg(kind)};
        }
        r.events.push_back(std::move(e));
    }
    if (r.header.isEmpty())
        throw Failure{QStringLiteral("the recording has no header")};
    return r;
}

} // namespace

const RecordingEvent *Recording::step(const QString &name) const
{
    for (const RecordingEvent &e : events) {
        if (e.kind == RecordingEvent::Kind::Update && e.step == name)
            return &e;
    }
    return nullptr;
}

std::optional<Recording> RecordingReader::parse(const QByteArray &data, QString *error)
{
    try {
        return parseOrThrow(data);
    } catch (const Failure &failure) {
        if (error)
            *error = failure.message;
        return std::nullopt;
    }
}

std::optional<Recording> RecordingReader::read(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    if (file.size() > kMaxFileBytes) {
        if (error)
            *error = QStringLiteral("%1 is %2 bytes, larger than any recording").arg(path).arg(file.size());
        return std::nullopt;
    }
    return parse(file.readAll(), error);
}

} // namespace flashwell
