#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace flashwell {

// One update attempt, as both programs record it.
struct UpdateHistoryRecord
{
    enum class Outcome { Success, Failed, Cancelled, Interrupted };

    QDateTime time; // UTC
    QString deviceName;
    uint16_t vid = 0;
    uint16_t pid = 0;
    QString fromVersion; // "1.00" or "1.00 beta 2"; empty when the device's version was unknown
    QString toVersion;
    QString fileName;
    Outcome outcome = Outcome::Failed;
    QString error;

    QJsonObject toJson() const;
    // None when a field is missing or of the wrong kind.
    static std::optional<UpdateHistoryRecord> fromJson(const QJsonObject &object);
    static QString outcomeName(Outcome outcome);
    static std::optional<Outcome> outcomeFromName(const QString &name);
};

// The update history: one JSON object per line in a file of the user's state folder, shared by
// the window and the command line. Each record is appended with one write of a whole line, so a
// reader sees whole records or a torn last line; lines that are not records are skipped.
class UpdateHistory final
{
public:
    // $XDG_STATE_HOME (or ~/.local/state)/Fenwyk Flashwell/update-history.jsonl on Linux; the
    // generic data folder elsewhere. Both programs use this one path.
    static QString defaultPath();

    explicit UpdateHistory(QString path = defaultPath());
    const QString &path() const { return m_path; }

    // False (with `error` set) when the line could not be written whole.
    bool append(const UpdateHistoryRecord &record, QString *error = nullptr);

    struct Contents
    {
        QList<UpdateHistoryRecord> records; // oldest first
        int skippedLines = 0;               // corrupt or torn lines
        bool missing = false;               // no history yet
        QString error;                      // the file exists but cannot be read
    };
    Contents read() const;

private:
    QString m_path;
};

} // namespace flashwell
