#pragma once

#include <QFile>
#include <QJsonObject>
#include <QString>

#include <cstdint>

namespace flashwell {

class Scheduler;

// Writes a recording of one update (docs/recording.md): a header line, then one JSON object per
// event with its time in milliseconds since the recording began. Every line goes to the file as it
// is written (no buffering of our own), so a crash or a pulled cable still leaves every event up to
// that moment. Recording must never disturb the update: a write that fails ends the recording, not
// the update, and says why through error().
class RecordingWriter
{
public:
    static constexpr int kVersion = 1;
    static constexpr qint64 kMaxBytes = qint64{64} * 1024 * 1024;
    static constexpr const char *kFormat = "flashwell-recording";

    explicit RecordingWriter(Scheduler &clock);
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter &) = delete;
    RecordingWriter &operator=(const RecordingWriter &) = delete;

    // Creates (or empties) `path` and writes the header: format, version, `application` with its
    // `applicationVersion`, the UTC time and whatever `extra` adds (the kind of run). False with
    // error() set when the file cannot be written.
    bool open(const QString &path, const QString &application, const QString &applicationVersion,
              const QJsonObject &extra = {});
    bool isOpen() const { return m_file.isOpen(); }
    // One event; "t" is added. Ignored once the recording has ended.
    void write(QJsonObject event);
    // The attempt is over: nothing more is recorded.
    void finish();
    const QString &error() const { return m_error; }
    qint64 bytesWritten() const { return m_written; }
    // For tests of the cap: a smaller limit.
    void setMaxBytes(qint64 bytes) { m_maxBytes = bytes; }

private:
    bool writeLine(const QJsonObject &object);

    Scheduler &m_clock;
    QFile m_file;
    int64_t m_startMs = 0;
    qint64 m_written = 0;
    qint64 m_maxBytes = kMaxBytes;
    QString m_error;
};

} // namespace flashwell
