#include "app/SleepInhibitor.h"

#include "update/UpdateSessionController.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLoggingCategory>

namespace flashwell {

namespace {
Q_LOGGING_CATEGORY(lcSleep, "flashwell.sleep", QtInfoMsg)

constexpr QLatin1StringView kLogindService("org.freedesktop.login1");
constexpr QLatin1StringView kLogindPath("/org/freedesktop/login1");
constexpr QLatin1StringView kLogindManager("org.freedesktop.login1.Manager");
} // namespace

SleepInhibitor::SleepInhibitor(QDBusConnection bus, QString who, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_who(std::move(who))
{}

SleepInhibitor::~SleepInhibitor() = default;

void SleepInhibitor::hold(const QString &why)
{
    if (m_wanted)
        return;
    m_wanted = true;
    const quint64 request = ++m_request;
    if (!m_bus.isConnected()) {
        unavailable(QStringLiteral("no system bus"));
        Q_EMIT holdAnswered(false);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kLogindService, kLogindPath, kLogindManager, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << m_who << why << QStringLiteral("block");
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, request](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        // Released (or asked again) meanwhile: the descriptor goes out of scope and logind drops it.
        if (request != m_request || !m_wanted)
            return;
        if (reply.isError()) {
            unavailable(reply.error().message());
            Q_EMIT holdAnswered(false);
            return;
        }
        m_lock = reply.value();
        qCDebug(lcSleep) << "sleep inhibited while writing";
        Q_EMIT holdAnswered(m_lock.isValid());
    });
}

void SleepInhibitor::release()
{
    if (!m_wanted)
        return;
    m_wanted = false;
    ++m_request;
    if (m_lock.isValid())
        qCDebug(lcSleep) << "sleep allowed again";
    m_lock = QDBusUnixFileDescriptor(); // closes our copy: logind releases the lock
}

void SleepInhibitor::unavailable(const QString &why)
{
    // Once per inhibitor: an update after another would only repeat it.
    if (m_reportedUnavailable)
        return;
    m_reportedUnavailable = true;
    qCDebug(lcSleep).noquote()
        << QStringLiteral("cannot keep the computer awake while writing (%1); going on without").arg(why);
}

void SleepInhibitor::followWriting(UpdateSessionController &controller, SleepInhibitor &inhibitor)
{
    // Held from the first written report to the attempt's end, whatever the end.
    QObject::connect(&controller, &UpdateSessionController::progress, &inhibitor,
                     [&inhibitor] { inhibitor.hold(QStringLiteral("Writing firmware to a controller")); });
    QObject::connect(&controller, &UpdateSessionController::attemptEnded, &inhibitor,
                     [&inhibitor] { inhibitor.release(); });
}

} // namespace flashwell
