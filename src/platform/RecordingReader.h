#pragma once

#include "platform/HidReport.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace flashwell {

// One line of a recording after the header (docs/recording.md).
struct RecordingEvent
{
    enum class Kind { Arrived, Left, OpenFailed, Output, Input, Update, Cap };

    Kind kind = Kind::Arrived;
    int line = 0;   // in the file, 1-based
    int64_t t = 0;  // ms since the recording began
    QString handle; // device events
    // Arrived
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    QString product;
    QByteArray descriptor;
    // OpenFailed
    int error = 0;
    // Output: 1-based index among output reports, and what the send gave. Input: the output
    // reports sent before it (0: none yet).
    int report = 0;
    IOReturn result = kIOReturnSuccess;
    int after = 0;
    QByteArray bytes;
    // Update: the step and the whole line.
    QString step;
    QJsonObject json;
};

struct Recording
{
    QJsonObject header;
    std::vector<RecordingEvent> events;
    int outputReports = 0;

    // "update" (a whole update) or "flash" (a bootloader session alone).
    QString kind() const { return header.value(QStringLiteral("kind")).toString(); }
    // The first update line of this step, if any.
    const RecordingEvent *step(const QString &name) const;
};

// Reads a recording and checks it whole before anything is replayed: the header's format and
// version, every line's shape, times that never go back, devices used only between their arrival
// and their departure, output reports numbered in order and answers only to reports that were sent.
// Anything else is refused with the line that is wrong.
class RecordingReader
{
public:
    // A recording is at most 64 MiB and its cap line; a file much larger is not one of ours.
    static constexpr qint64 kMaxFileBytes = qint64{65} * 1024 * 1024;
    static constexpr int kMaxReportBytes = 1024;

    static std::optional<Recording> parse(const QByteArray &data, QString *error);
    static std::optional<Recording> read(const QString &path, QString *error);
};

} // namespace flashwell
