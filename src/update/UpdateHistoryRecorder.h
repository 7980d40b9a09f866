#pragma once

#include "update/UpdateHistory.h"

#include <QObject>
#include <QPointer>

#include <optional>

namespace flashwell {

class UpdateSessionController;

// Beside an update controller: opens a record when an update starts (download, or writing that
// starts again after a failure), closes it with the outcome and appends it to the history. The
// window and the command line each put one beside their controller.
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
    // Why an update in state 7 failed: the bootloader left, or no sign of life (or a report that
    // could not be sent).
    static QString failureMessage(const UpdateSessionController &controller);

private:
    void onState(quint64 state);
    void open();

    QPointer<UpdateSessionController> m_controller;
    UpdateHistory m_history;
    std::optional<UpdateHistoryRecord> m_open;
    // The controller went back to state 0; an alert may follow in the same turn and name the cause.
    bool m_backToReady = false;
    QString m_lastError;
};

} // namespace flashwell
