// Catches: sleep not blocked while writing or left blocked after, and a second start that does not raise the first.
#include "app/SingleInstance.h"
#include "app/SleepInhibitor.h"
#include "platform/InstanceLock.h"
#include "update/UpdateSessionController.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QLockFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include "support/EventLoop.h"
#include "support/UpdateRig.h"

#include <memory>

using namespace flashwell;
using State = UpdateSessionController;

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");

// A private message bus (the session configuration: any name may be owned), ended with the test.
class PrivateBus
{
public:
    PrivateBus()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted(5000) || !test::waitUntil([this] { return m_daemon.canReadLine(); }, 5000))
            return;
        address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        connection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("test-%1").arg(++s_count)));
    }
    ~PrivateBus()
    {
        if (m_mock.state() != QProcess::NotRunning) {
            m_mock.kill();
            m_mock.waitForFinished(5000);
        }
        if (connection)
            QDBusConnection::disconnectFromBus(connection->name());
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

    // Starts python3-dbusmock's logind template, as the system bus's logind.
    bool startMockLogind()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address);
        m_mock.setProcessEnvironment(env);
        m_mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The system's interpreter: the one the Debian package installs the module for.
        m_mock.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                      QStringLiteral("--template"), QStringLiteral("logind")});
        return m_mock.waitForStarted(5000)
               && test::waitUntil([this] { return connection->interface()->isServiceRegistered(kLogind); }, 10000);
    }

    struct Inhibitor
    {
        QString what, who, why, mode;
    };
    std::vector<Inhibitor> inhibitors() const
    {
        const QDBusMessage reply = connection->call(QDBusMessage::createMethodCall(
            kLogind, QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
            QStringLiteral("ListInhibitors")));
        std::vector<Inhibitor> out;
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return out;
        const QDBusArgument list = reply.arguments().first().value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            Inhibitor i;
            uint uid = 0;
            uint pid = 0;
            list.beginStructure();
            list >> i.what >> i.who >> i.why >> i.mode >> uid >> pid;
            list.endStructure();
            out.push_back(i);
        }
        list.endArray();
        return out;
    }

    QString address;
    std::unique_ptr<QDBusConnection> connection;

private:
    static inline int s_count = 0;
    QProcess m_daemon;
    QProcess m_mock;
};

// Debug lines of the inhibitor's category, counted.
class SleepLog
{
public:
    SleepLog()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("flashwell.sleep.debug=true"));
        s_lines.clear();
        m_previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &context, const QString &text) {
            if (context.category && QByteArray(context.category) == "flashwell.sleep")
                s_lines << text;
        });
    }
    ~SleepLog()
    {
        qInstallMessageHandler(m_previous);
        QLoggingCategory::setFilterRules(QString());
    }
    static inline QStringList s_lines;

private:
    QtMessageHandler m_previous = nullptr;
};

class SleepInhibitorTest : public ::testing::Test, protected test::UpdateRig
{
protected:
    UpdateSessionController controller{services()};
};

TEST_F(SleepInhibitorTest, LogindLockIsHeldFromWritingToSuccessOrFailure)
{
    PrivateBus system;
    ASSERT_TRUE(system.connection && system.connection->isConnected()) << "dbus-daemon (package dbus) is needed";
    ASSERT_TRUE(system.startMockLogind()) << "python3-dbusmock is needed";

    SleepInhibitor inhibitor(*system.connection, QStringLiteral("Fenwyk Flashwell"));
    SleepInhibitor::followWriting(controller, inhibitor);
    using Outcome = AttemptEnd::Outcome;
    for (const Outcome outcome : {Outcome::Success, Outcome::Failed, Outcome::Interrupted}) {
        SCOPED_TRACE(static_cast<int>(outcome));
        Q_EMIT controller.attemptStarted(Firmware());
        // One connection delivers in order: a lock asked for before this call would be listed.
        EXPECT_TRUE(system.inhibitors().empty()) << "no lock before writing";
        EXPECT_FALSE(inhibitor.isHeld());

        Q_EMIT controller.progress(0);
        ASSERT_TRUE(test::waitUntil([&] { return inhibitor.isHeld(); }));
        const auto held = system.inhibitors();
        ASSERT_EQ(held.size(), 1u);
        EXPECT_EQ(held[0].what, QStringLiteral("sleep:idle"));
        EXPECT_EQ(held[0].who, QStringLiteral("Fenwyk Flashwell"));
        EXPECT_EQ(held[0].why, QStringLiteral("Writing firmware to a controller"));
        EXPECT_EQ(held[0].mode, QStringLiteral("block"));
        // Progress while writing keeps the one lock.
        Q_EMIT controller.progress(40);
        EXPECT_EQ(system.inhibitors().size(), 1u);

        Q_EMIT controller.attemptEnded(AttemptEnd{outcome, AttemptEnd::Cause::Finished, QString()});
        EXPECT_FALSE(inhibitor.isHeld());
        // logind drops the lock once our descriptor is closed.
        EXPECT_TRUE(test::waitUntil([&] { return system.inhibitors().empty(); }));
    }

    // Released before logind answers: the late lock, listed once logind has answered (one
    // connection delivers in order), goes as soon as the answer is dropped.
    Q_EMIT controller.progress(0);
    Q_EMIT controller.attemptEnded(AttemptEnd{});
    EXPECT_EQ(system.inhibitors().size(), 1u);
    EXPECT_TRUE(test::waitUntil([&] { return system.inhibitors().empty(); }));
    EXPECT_FALSE(inhibitor.isHeld());
}

TEST_F(SleepInhibitorTest, WithoutLogindOrWithoutABusTheUpdateGoesOnWithOneDebugLine)
{
    PrivateBus noLogind; // a bus where nobody answers for logind
    ASSERT_TRUE(noLogind.connection && noLogind.connection->isConnected());
    const QDBusConnection noBus =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/flashwell-bus"), QStringLiteral("none"));
    ASSERT_FALSE(noBus.isConnected());

    for (const QDBusConnection &connection : {*noLogind.connection, noBus}) {
        SleepLog log;
        SleepInhibitor inhibitor(connection, QStringLiteral("Fenwyk Flashwell"));
        SleepInhibitor::followWriting(controller, inhibitor);
        int answers = 0;
        QObject::connect(&inhibitor, &SleepInhibitor::holdAnswered, [&](bool held) {
            EXPECT_FALSE(held);
            ++answers;
        });
        for (int attempt = 0; attempt < 2; ++attempt) {
            Q_EMIT controller.progress(0);
            ASSERT_TRUE(test::waitUntil([&] { return answers == attempt + 1; }));
            EXPECT_FALSE(inhibitor.isHeld());
            Q_EMIT controller.attemptEnded(AttemptEnd{});
        }
        EXPECT_EQ(SleepLog::s_lines.size(), 1) << SleepLog::s_lines.join(QLatin1Char('\n')).toStdString();
        QObject::disconnect(&controller, nullptr, &inhibitor, nullptr);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("none"));
}

TEST(SingleInstance, ASecondClaimRaisesTheFirstWindowAndTheLockOutlivesNoInstance)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    QWidget window;
    window.showMinimized();
    window.hide();
    {
        SingleInstance first(QStringLiteral("flashwell-test"), runtime.path());
        ASSERT_TRUE(first.claim());
        first.raiseOnRequest(&window);
        // Another program's name is not blocked.
        SingleInstance demo(QStringLiteral("flashwell-test-demo"), runtime.path());
        EXPECT_TRUE(demo.claim());

        // The second start's activation token goes with its request, and the first hands it to
        // the platform (Qt's Wayland plugin reads XDG_ACTIVATION_TOKEN when the window asks to
        // be activated): only the raise may put it back.
        qunsetenv("DESKTOP_STARTUP_ID");
        qputenv("XDG_ACTIVATION_TOKEN", "token-from-the-launcher");
        SingleInstance second(QStringLiteral("flashwell-test"), runtime.path());
        EXPECT_FALSE(second.claim());
        qunsetenv("XDG_ACTIVATION_TOKEN");
        EXPECT_TRUE(second.holderAnswered());
        ASSERT_TRUE(test::waitUntil([&] { return window.isVisible(); }));
        EXPECT_FALSE(window.windowState() & Qt::WindowMinimized);
        EXPECT_EQ(qgetenv("XDG_ACTIVATION_TOKEN"), QByteArrayLiteral("token-from-the-launcher"));
        qunsetenv("XDG_ACTIVATION_TOKEN");
    }
    // The first instance has ended: the next start runs.
    SingleInstance next(QStringLiteral("flashwell-test"), runtime.path());
    EXPECT_TRUE(next.claim());
}

// flashwell-cli holds the same lock while it updates, with nobody listening: the window does not
// start, and knows that no window answered.
TEST(SingleInstance, ALockHeldByAnUpdateFromATerminalIsNotTakenOver)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    QLockFile update(instance_lock::path(runtime.path()));
    ASSERT_TRUE(update.tryLock(0));
    SingleInstance window(instance_lock::name(), runtime.path());
    EXPECT_EQ(window.lockPath(), instance_lock::path(runtime.path()));
    EXPECT_FALSE(window.claim());
    EXPECT_FALSE(window.holderAnswered());
}

TEST(SingleInstance, TheProgramStartedTwiceRaisesTheRunningWindowAndEnds)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    QWidget window;
    window.hide();
    // This process plays the running application, under its name, in a runtime directory of its own.
    SingleInstance running(QStringLiteral("io.github.fenwyk.Flashwell"), runtime.path());
    ASSERT_TRUE(running.claim());
    running.raiseOnRequest(&window);

    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), runtime.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_STATE_HOME"), runtime.filePath(QStringLiteral("state")));
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(FLASHWELL_PROGRAM), {});
    ASSERT_TRUE(second.waitForStarted(5000));
    const bool ended =
        test::waitUntil([&] { return second.state() == QProcess::NotRunning && window.isVisible(); }, 20000);
    if (second.state() != QProcess::NotRunning) {
        second.kill();
        second.waitForFinished(5000);
    }
    ASSERT_TRUE(ended) << "the second start did not end, or did not raise the window";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
}

} // namespace
