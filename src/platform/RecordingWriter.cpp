#include "platform/RecordingWriter.h"

#include "platform/Scheduler.h"

#include <QDateTime>
#include <QJsonDocument>

namespace flashwell {

namespace {
// Room kept for the line that says the cap was reached.
constexpr qint64 kCapLineRoom = 256;
} // namespace

RecordingWriter::RecordingWriter(Scheduler &clock)
    : m_clock(clock)
{}

RecordingWriter::~RecordingWriter()
{
    finish();
}

bool RecordingWriter::open(const QString &path, const QString &application, const QString &applicationVersion,
                           const QJsonObject &extra)
{
    finish();
    m_error.clear();
    m_written = 0;
    m_file.setFileName(path);
    // Unbuffered: each line reaches the operating system as soon as it is written.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        m_error = QStringLiteral("cannot write %1: %2").arg(path, m_file.errorString());
        return false;
    }
    m_startMs = m_clock.nowMs();
    QJsonObject header = extra;
    header.insert(QStringLiteral("format"), QString::fromLatin1(kFormat));
    header.insert(QStringLiteral("version"), kVersion);
    header.insert(QStringLiteral("application"), application);
    header.insert(QStringLiteral("application_version"), applicationVersion);
    header.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    return writeLine(header);
}

void RecordingWriter::write(QJsonObject event)
{
    if (!m_file.isOpen())
        return;
    event.insert(QStringLiteral("t"), static_cast<qint64>(m_clock.nowMs() - m_startMs));
    const qint64 size = QJsonDocument(event).toJson(QJsonDocument::Compact).size() + 1;
    if (m_written + size > m_maxBytes - kCapLineRoom) {
        writeLine(
            QJsonObject{{QStringLiteral("event"), QStringLiteral("cap")},
                        {QStringLiteral("t"), event.value(QStringLiteral("t"))},
                        {QStringLiteral("message"),
                         QStringLiteral("the recording reached its limit of %1 bytes; later events were not recorded")
                             .arg(m_maxBytes)}});
        finish();
        return;
    }
    writeLine(event);
}

bool RecordingWriter::writeLine(const QJsonObject &object)
{
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    if (m_file.write(line) != line.size()) {
        m_error = QStringLiteral("cannot write %1: %2").arg(m_file.fileName(), m_file.errorString());
        m_file.close();
        return false;
    }
    m_written += line.size();
    return true;
}

void RecordingWriter::finish()
{
    if (m_file.isOpen())
        m_file.close();
}

} // namespace flashwell
