#include "update/UpdateHistoryRecorder.h"

#include "device/FirmwareVersion.h"
#include "platform/Bundle.h"
#include "update/UpdateSessionController.h"

#include <QTimer>

namespace flashwell {

UpdateHistoryRecorder::UpdateHistoryRecorder(UpdateSessionController &controller, UpdateHistory history,
                                             QObject *parent)
    : QObject(parent)
    , m_controller(&controller)
    , m_history(std::move(history))
{
    connect(&controller, &UpdateSessionController::stateChanged, this, &UpdateHistoryRecorder::onState);
    connect(&controller, &UpdateSessionController::alertRequested, this,
            [this](const QString &, const QString &message) {
                m_backToReady = false;
                end(UpdateHistoryRecord::Outcome::Failed, message);
            });
    connect(&controller, &QObject::destroyed, this,
            [this] { end(UpdateHistoryRecord::Outcome::Cancelled, QString()); });
}

UpdateHistoryRecorder::~UpdateHistoryRecorder()
{
    end(UpdateHistoryRecord::Outcome::Cancelled, QString());
}

void UpdateHistoryRecorder::open()
{
    UpdateSessionController *c = m_controller.data();
    if (!c)
        return;
    UpdateHistoryRecord r;
    r.time = QDateTime::currentDateTimeUtc();
    if (const SFenwykDevicePtr device = c->device()) {
        const SFenwykDataDetailsPtr entry = device->details();
        r.deviceName = entry ? entry->name() : device->deviceName;
        if (r.deviceName.isEmpty())
            r.deviceName = device->deviceName;
        // A product picked by hand has no USB identity of its own: its catalogue entry's.
        r.vid = device->vid != 0 ? device->vid : (entry ? entry->vid : 0);
        r.pid = device->pid != 0 ? device->pid : (entry ? entry->pid : 0);
    }
    if (c->m_version != 0.0f)
        r.fromVersion = firmware_version::text(c->m_version, static_cast<int>(c->m_beta));
    const std::optional<Firmware> release = c->releaseAt(c->selectButton.value_or(0));
    if (release) {
        r.toVersion = firmware_version::text(release->version, release->beta);
        r.fileName = release->fileName();
    } else {
        r.toVersion = firmware_version::text(c->m_targerVersion, c->m_targetBeta);
    }
    m_open = r;
}

void UpdateHistoryRecorder::onState(quint64 state)
{
    switch (state) {
    case UpdateSessionController::kStatePreparing:
        // A new download while one is open (it cannot happen from the screen) closes the old one.
        end(UpdateHistoryRecord::Outcome::Cancelled, QString());
        open();
        break;
    case UpdateSessionController::kStateWriting:
        // Writing that starts again after a failure (the bootloader was plugged in anew).
        if (!m_open)
            open();
        break;
    case UpdateSessionController::kStateFinished:
        end(UpdateHistoryRecord::Outcome::Success, QString());
        break;
    case UpdateSessionController::kStateFailed:
        if (const UpdateSessionController *c = m_controller.data())
            end(UpdateHistoryRecord::Outcome::Failed, failureMessage(*c));
        break;
    case UpdateSessionController::kStateReady:
        if (!m_open)
            break;
        // A failure sets state 0 and then raises its alert, which names the cause; without an
        // alert in the same turn the attempt was left (the screen was closed).
        m_backToReady = true;
        QTimer::singleShot(0, this, [this] {
            if (m_backToReady)
                end(UpdateHistoryRecord::Outcome::Cancelled, QString());
            m_backToReady = false;
        });
        break;
    default:
        break;
    }
}

QString UpdateHistoryRecorder::failureMessage(const UpdateSessionController &controller)
{
    // The bootloader's departure clears its state before the failure; a stall leaves it set.
    return Bundle::localizedString(controller.bootState == 0 ? "historyDeviceLeft" : "historyNoSignOfLife");
}

void UpdateHistoryRecorder::end(UpdateHistoryRecord::Outcome outcome, const QString &error)
{
    if (!m_open)
        return;
    UpdateHistoryRecord r = *m_open;
    m_open.reset();
    r.outcome = outcome;
    r.error = error;
    QString problem;
    if (!m_history.append(r, &problem))
        m_lastError = problem;
}

} // namespace flashwell
