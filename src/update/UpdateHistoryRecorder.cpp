#include "update/UpdateHistoryRecorder.h"

#include "device/FirmwareVersion.h"
#include "update/UpdateSessionController.h"

namespace flashwell {

namespace {
UpdateHistoryRecord::Outcome outcomeOf(AttemptEnd::Outcome outcome)
{
    switch (outcome) {
    case AttemptEnd::Outcome::Success:
        return UpdateHistoryRecord::Outcome::Success;
    case AttemptEnd::Outcome::Failed:
        return UpdateHistoryRecord::Outcome::Failed;
    case AttemptEnd::Outcome::Cancelled:
        return UpdateHistoryRecord::Outcome::Cancelled;
    case AttemptEnd::Outcome::Interrupted:
        break;
    }
    return UpdateHistoryRecord::Outcome::Interrupted;
}
} // namespace

UpdateHistoryRecorder::UpdateHistoryRecorder(UpdateSessionController &controller, UpdateHistory history,
                                             QObject *parent)
    : QObject(parent)
    , m_controller(&controller)
    , m_history(std::move(history))
{
    connect(&controller, &UpdateSessionController::attemptStarted, this, [this](const Firmware &release) {
        // Every end follows its start; an open record here would be a start without one.
        end(UpdateHistoryRecord::Outcome::Cancelled, QString());
        open(release);
    });
    connect(&controller, &UpdateSessionController::attemptEnded, this,
            [this](const AttemptEnd &e) { end(outcomeOf(e.outcome), e.reason); });
}

UpdateHistoryRecorder::~UpdateHistoryRecorder()
{
    end(UpdateHistoryRecord::Outcome::Cancelled, QString());
}

void UpdateHistoryRecorder::open(const Firmware &release)
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
    if (c->version() != 0.0f)
        r.fromVersion = firmware_version::text(c->version(), static_cast<int>(c->beta()));
    r.toVersion = firmware_version::text(release.version, release.beta);
    r.fileName = release.fileName();
    m_open = r;
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
