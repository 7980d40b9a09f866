#include "app/SingleInstance.h"
#include "platform/InstanceLock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>

namespace flashwell {

namespace {
Q_LOGGING_CATEGORY(lcInstance, "flashwell.instance", QtInfoMsg)

constexpr QByteArrayView kRaise("raise");
// The launcher's activation token (xdg-activation on Wayland, startup notification on X11): the
// running instance needs it to be allowed to take the focus for the start that asked.
const char *const kTokenVariables[] = {"XDG_ACTIVATION_TOKEN", "DESKTOP_STARTUP_ID"};
// A first instance that is still starting has its lock but not yet its socket.
constexpr int kAskForMs = 2000;
} // namespace

SingleInstance::SingleInstance(QString name, QString directory, QObject *parent)
    : QObject(parent)
    , m_name(std::move(name))
    , m_directory(directory.isEmpty() ? instance_lock::runtimeDirectory() : std::move(directory))
{}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

QString SingleInstance::lockPath() const
{
    return instance_lock::path(m_directory, m_name);
}

QString SingleInstance::socketPath() const
{
    return QDir(m_directory).filePath(m_name + QStringLiteral(".socket"));
}

bool SingleInstance::claim()
{
    if (m_server)
        return true;
    if (m_directory.isEmpty() || !QDir().mkpath(m_directory)) {
        qCWarning(lcInstance).noquote() << "no runtime directory; not checking for another instance";
        return true;
    }
    auto lock = std::make_unique<QLockFile>(lockPath());
    // A lock left by a process that died is taken over (QLockFile checks the process).
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError) {
            m_holderAnswered = askRunningInstance();
            if (!m_holderAnswered)
                qCWarning(lcInstance).noquote() << "another instance holds" << lockPath() << "but does not answer";
            return false;
        }
        qCWarning(lcInstance).noquote() << "cannot create" << lockPath() << "; not checking for another instance";
        return true;
    }
    m_lock = std::move(lock);
    // Holding the lock, any socket file left at the path is a dead instance's.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath()))
        qCWarning(lcInstance).noquote() << "cannot listen on" << socketPath() << ":" << m_server->errorString();
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                const QByteArray line = socket->readAll();
                if (line.contains('\n')) {
                    m_activationToken = line.left(line.indexOf('\n')).mid(kRaise.size()).trimmed();
                    Q_EMIT activationRequested();
                }
                socket->disconnectFromServer();
            });
        }
    });
    return true;
}

bool SingleInstance::askRunningInstance() const
{
    // Blocking, bounded: this runs at start-up, before any window exists.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < kAskForMs) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(200)) {
            QByteArray token;
            for (const char *variable : kTokenVariables) {
                token = qgetenv(variable).trimmed();
                if (!token.isEmpty() && !token.contains('\n'))
                    break;
                token.clear();
            }
            socket.write(kRaise.toByteArray() + (token.isEmpty() ? QByteArray() : ' ' + token) + '\n');
            const bool sent = socket.waitForBytesWritten(500);
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState)
                socket.waitForDisconnected(200);
            return sent;
        }
        QThread::msleep(50);
    }
    return false;
}

void SingleInstance::raiseOnRequest(QWidget *window)
{
    connect(this, &SingleInstance::activationRequested, window, [this, window] {
        // Qt's Wayland platform hands this token to the compositor with the activation request.
        if (!m_activationToken.isEmpty())
            qputenv("XDG_ACTIVATION_TOKEN", m_activationToken);
        m_activationToken.clear();
        raise(window);
    });
}

void SingleInstance::raise(QWidget *window)
{
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace flashwell
