#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

namespace flashwell {

class UpdateSessionController;

// Keeps the computer from sleeping while firmware is written: a logind inhibitor lock
// ("sleep:idle", mode "block") held from `hold` to `release`. logind keeps the lock while we keep
// the file descriptor it hands out; closing it releases the lock. Without a system bus or logind
// nothing is held and one debug line says so.
class SleepInhibitor final : public QObject
{
    Q_OBJECT
public:
    // `bus` is the system bus in the application; tests hand a private one.
    SleepInhibitor(QDBusConnection bus, QString who, QObject *parent = nullptr);
    ~SleepInhibitor() override;

    // Asks logind for the lock (asynchronously: the UI thread never waits on the bus).
    void hold(const QString &why);
    void release();
    // True once logind granted the lock and until it is released.
    bool isHeld() const { return m_lock.isValid(); }
    // True between `hold` and `release`, whether or not logind answered yet.
    bool isWanted() const { return m_wanted; }

    // Holds the lock while `controller` is in its writing state (5) and releases it at any other
    // state: success (6), failure (7) or back to the start.
    static void followWriting(UpdateSessionController &controller, SleepInhibitor &inhibitor);

Q_SIGNALS:
    // After logind's answer to `hold`: whether the lock is held.
    void holdAnswered(bool held);

private:
    void unavailable(const QString &why);

    QDBusConnection m_bus;
    QString m_who;
    QDBusUnixFileDescriptor m_lock;
    bool m_wanted = false;
    quint64 m_request = 0; // answers to older requests are dropped
    bool m_reportedUnavailable = false;
};

} // namespace flashwell
