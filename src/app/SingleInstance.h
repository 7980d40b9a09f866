#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QWidget;

namespace flashwell {

// One instance of a program at a time: two would fight over the same device. The first start
// holds a lock file in the runtime directory and listens on a local socket beside it; a later
// start finds the lock taken, asks the first over the socket to come forward and ends.
class SingleInstance final : public QObject
{
    Q_OBJECT
public:
    // `name` tells programs apart (the demo has its own, so it never blocks the real one).
    // `directory` defaults to the user's runtime directory.
    explicit SingleInstance(QString name, QString directory = QString(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only instance: it now answers later starts. False when another one
    // runs; it has been asked to raise its window. Where no lock can be made at all, this instance
    // runs (true), with a warning.
    bool claim();

    // Brings `window` forward (shown, not minimised, raised, activated) on every later start, with
    // that start's activation token where its launcher gave one (xdg-activation).
    void raiseOnRequest(QWidget *window);
    static void raise(QWidget *window);

    // After a failed claim: whether the lock's holder answered. One that does not is no window
    // (flashwell-cli updating a device) or a window that hangs.
    bool holderAnswered() const { return m_holderAnswered; }

    QString lockPath() const;
    QString socketPath() const;

Q_SIGNALS:
    // A later start asked this instance to come forward.
    void activationRequested();

private:
    bool askRunningInstance() const;

    QString m_name;
    QString m_directory;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    bool m_holderAnswered = false;
    QByteArray m_activationToken; // from the latest start that asked us to come forward
};

} // namespace flashwell
