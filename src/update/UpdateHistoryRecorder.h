#pragma once

#include "net/Firmware.h"
#include "update/UpdateHistory.h"

#include <QObject>
#include <QPointer>

#include <optional>

namespace flashwell {

class UpdateSessionController;

// Beside an update controller: opens a record when an attempt starts (update pressed, or writing
// that starts again after a failure), closes it with the attempt's end and appends it to the
// history. The update host puts one beside its controller.
class UpdateHistoryRecorder final : public QObject
{
    Q_OBJECT
public:
    UpdateHistoryRecorder(UpdateSessionController &controller, UpdateHistory history, QObject *parent = nullptr);
    // An attempt still open is recorded as cancelled.
    ~UpdateHistoryRecorder() override;

    bool attemptOpen() const { return m_open.has_value(); }
    // Ends the open attempt (if any) with this outcome, e.g. when the user stops it.
    void end(UpdateHistoryRecord::Outcome outcome, const QString &error);
    // The last append that failed, for a caller that wants to say so.
    const QString &lastError() const { return m_lastError; }
    const UpdateHistory &history() const { return m_history; }

private:
    void open(const Firmware &release);

    QPointer<UpdateSessionController> m_controller;
    UpdateHistory m_history;
    std::optional<UpdateHistoryRecord> m_open;
    QString m_lastError;
};

} // namespace flashwell
