// Catches: a flashwell-cli program that cannot list, update or record a real hidraw device, or ignores Ctrl-C.
#include "models/FirmwareFileBuilder.h"
#include "models/FlashMemory.h"
#include "models/VirtualClassicBootloader.h"
#include "models/VirtualDinputController.h"
#include "platform/QtScheduler.h"
#include "platform/RecordingReader.h"
#include "platform/VirtualHidBus.h"
#include "server/LabFirmwareServer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iostream>

#include <csignal>
#include <sys/types.h>

#include "integration/UpdatePathCases.h"
#include "rigs/UMockdevHidraw.h"
#include "support/EventLoop.h"
#include "support/TestSupport.h"

using namespace flashwell;
using namespace flashwell::lab;

namespace {

struct Result
{
    int status = -1;
    QString out;
    QString err;
};

class CliEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(UMockdevHidraw::inMockEnvironment()) << "run this binary under umockdev-wrapper";
        ASSERT_TRUE(server.listen());
        ClassicFirmware fw;
        fw.version = 105;
        fw.address = 0x08004000;
        fw.data = patternBytes(4096, 9);
        image = fw.data;
        firmware = fw.build();
        server.addRelease(test::releaseJson(1, 12, 1.05, QStringLiteral("Heron_V1.05.bin")), firmware);

        // The program's own settings: the lab's server, a scratch download folder, English.
        QSettings settings(home.filePath(QStringLiteral("config/Fenwyk/Flashwell.conf")), QSettings::IniFormat);
        const QString base = server.baseUrl().toString();
        settings.setValue(QStringLiteral("ServerPrimary"), base);
        settings.setValue(QStringLiteral("ServerChina"), base);
        settings.setValue(QStringLiteral("ServerBeta"), base);
        settings.setValue(QStringLiteral("DownloadsRoot"), home.filePath(QStringLiteral("downloads")));
        settings.setValue(QStringLiteral("AppleLanguages"), QStringList{QStringLiteral("en-US")});
        settings.sync();

        deviceBus.setLatencyMs(0);
        heron.versionHundredths = 100;
        boot.normalIdentity = heron.identity();
        heron.setBootTarget(boot.identity(), &boot);
    }

    void prepare(QProcess &process)
    {
        // A runtime folder of its own (private, as the session's is): the device lock lives there, and
        // another run of this test, or a window on this machine, must not hold it.
        const QString runtime = home.filePath(QStringLiteral("runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("no_proxy"), QStringLiteral("127.0.0.1"));
        env.remove(QStringLiteral("http_proxy"));
        env.remove(QStringLiteral("HTTP_PROXY"));
        process.setProcessEnvironment(env);
    }

    Result cli(const QStringList &args)
    {
        QProcess process;
        prepare(process);
        process.start(QStringLiteral(FLASHWELL_CLI_PATH), args);
        Result r;
        if (!process.waitForStarted(10000))
            return r;
        // The device and the server answer from this process's event loop.
        const bool ended = test::waitUntil([&] { return process.state() == QProcess::NotRunning; }, 90000);
        if (!ended) {
            process.kill();
            process.waitForFinished();
            return r;
        }
        r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        r.out = QString::fromUtf8(process.readAllStandardOutput());
        r.err = QString::fromUtf8(process.readAllStandardError());
        // A transcript of the session, as a user would see it.
        std::cout << "$ flashwell-cli " << qPrintable(args.join(QLatin1Char(' '))) << "\n"
                  << qPrintable(r.out) << qPrintable(r.err) << "[exit " << r.status << "]\n";
        return r;
    }

    QTemporaryDir home;
    LabFirmwareServer server;
    QByteArray image;
    QByteArray firmware;
    QtScheduler deviceClock;
    VirtualHidBus deviceBus{deviceClock};
    UMockdevHidraw hidraw{deviceBus};
    VirtualDinputController heron{deviceBus, 0x3011, 0x2DC8, QStringLiteral("Fenwyk Heron")};
    VirtualClassicBootloader boot{deviceBus};
};

} // namespace

// The real program on the real backend lists, updates (recording the update, with no node path in
// it) and keeps its history; the lab replays that recording on its virtual bus, report for report.
TEST_F(CliEndToEnd, DevicesARecordedUpdateHistoryAndItsReplay)
{
    heron.plug();
    const Result devices = cli({QStringLiteral("devices")});
    ASSERT_EQ(devices.status, 0) << qPrintable(devices.err);
    EXPECT_TRUE(devices.out.startsWith(QStringLiteral("1  Fenwyk Heron  2dc8:3011  version 1.00")))
        << qPrintable(devices.out);
    const QString recording = home.filePath(QStringLiteral("update.jsonl"));
    const Result update = cli({QStringLiteral("update"), QStringLiteral("1"), QStringLiteral("--yes"),
                               QStringLiteral("--record"), recording});
    ASSERT_EQ(update.status, 0) << qPrintable(update.out + update.err);
    EXPECT_TRUE(update.out.endsWith(QStringLiteral("Fenwyk Heron updated to 1.05.\n"))) << qPrintable(update.out);
    EXPECT_EQ(boot.flash().read(0x08004000, static_cast<uint32_t>(image.size())), image)
        << "the image in the emulated device's flash";

    // Back in its normal mode, the device reports the version it was given. It comes back a
    // moment after the program ends; the next program is started once it is on the bus.
    ASSERT_TRUE(test::waitUntil([&] { return boot.normalMode() && boot.normalMode()->device(); }, 30000))
        << "the device did not come back in its normal mode";
    const Result after = cli({QStringLiteral("devices")});
    EXPECT_TRUE(after.out.startsWith(QStringLiteral("1  Fenwyk Heron  2dc8:3011  version 1.05")))
        << qPrintable(after.out);

    const Result history = cli({QStringLiteral("history"), QStringLiteral("--json")});
    ASSERT_EQ(history.status, 0) << qPrintable(history.err);
    const QJsonObject record = QJsonDocument::fromJson(history.out.trimmed().toUtf8()).object();
    EXPECT_EQ(record.value(QStringLiteral("outcome")).toString(), QStringLiteral("success"));
    EXPECT_EQ(record.value(QStringLiteral("from")).toString(), QStringLiteral("1.00"));
    EXPECT_EQ(record.value(QStringLiteral("to")).toString(), QStringLiteral("1.05"));
    EXPECT_EQ(record.value(QStringLiteral("pid")).toString(), QStringLiteral("3011"));

    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    for (const QByteArray &privateText : {QByteArray("/dev/"), QByteArray("hidraw"), home.path().toUtf8()})
        EXPECT_FALSE(bytes.contains(privateText)) << privateText.constData();
    QString error;
    const std::optional<Recording> r = RecordingReader::parse(bytes, &error);
    ASSERT_TRUE(r) << qPrintable(error);
    EXPECT_EQ(r->header.value(QStringLiteral("application")).toString(), QStringLiteral("flashwell-cli"));
    QList<uint16_t> arrived;
    for (const RecordingEvent &e : r->events) {
        if (e.kind == RecordingEvent::Kind::Arrived) {
            arrived.append(e.productId);
            EXPECT_FALSE(e.descriptor.isEmpty());
        }
    }
    EXPECT_EQ(arrived, (QList<uint16_t>{0x3011, 0x5750}));

    QProcess lab;
    prepare(lab);
    lab.start(QStringLiteral(FLASHWELL_LAB_PATH),
              {QStringLiteral("replay"), recording, QStringLiteral("--file"), test::writeTempFile(home, firmware)});
    ASSERT_TRUE(lab.waitForFinished(60000));
    const QList<QByteArray> out = lab.readAllStandardOutput().trimmed().split('\n');
    const QJsonObject result = QJsonDocument::fromJson(out.last()).object();
    EXPECT_EQ(lab.exitCode(), 0) << out.last().constData();
    EXPECT_EQ(result.value(QStringLiteral("result")).toString(), QStringLiteral("success"));
    EXPECT_EQ(result.value(QStringLiteral("reports")).toInt(), r->outputReports);
}

TEST_F(CliEndToEnd, CtrlCAtThePromptWritesNothing)
{
    heron.plug();
    QProcess process;
    prepare(process);
    process.start(QStringLiteral(FLASHWELL_CLI_PATH), {QStringLiteral("update"), QStringLiteral("1")});
    ASSERT_TRUE(process.waitForStarted(10000));
    QByteArray err;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            err += process.readAllStandardError();
            return err.contains("[y/N]") || process.state() == QProcess::NotRunning;
        },
        60000))
        << err.constData();
    ASSERT_TRUE(err.contains("[y/N]")) << err.constData();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(test::waitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000));
    err += process.readAllStandardError();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "the program ends by itself, not by the signal";
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(err.endsWith("Nothing was written.\n")) << err.constData();
    EXPECT_TRUE(boot.flash().regions().empty());
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("state/Fenwyk Flashwell/update-history.jsonl"))));
}

TEST_F(CliEndToEnd, ReportNamesEveryNodeAndWhatKeepsOneFromOpening)
{
    heron.plug();
    // Listed by the kernel, but its node is not there (yet): it cannot be opened.
    VirtualDinputController missing{deviceBus, 0x3100, 0x2DC8, QStringLiteral("Fenwyk Kestrel")};
    hidraw.setNodeDelay(10 * 60 * 1000);
    missing.plug();
    hidraw.setNodeDelay(0);

    const Result text = cli({QStringLiteral("report")});
    ASSERT_EQ(text.status, 0) << qPrintable(text.err);
    const QStringList lines = text.out.split(QLatin1Char('\n'));
    EXPECT_TRUE(lines.value(0).startsWith(QStringLiteral("Fenwyk Flashwell "))) << qPrintable(text.out);
    EXPECT_TRUE(lines.value(0).contains(QStringLiteral("hidapi 0."))) << qPrintable(text.out);
    EXPECT_TRUE(text.out.contains(QStringLiteral("\nSession: "))) << qPrintable(text.out);
    EXPECT_TRUE(text.out.contains(QStringLiteral("\nudev rules: "))) << qPrintable(text.out);
    EXPECT_TRUE(text.out.contains(QStringLiteral("\nlogind: "))) << qPrintable(text.out);
    EXPECT_TRUE(
        text.out.contains(QStringLiteral("Firmware server %1: answers (HTTP ").arg(server.baseUrl().toString())))
        << qPrintable(text.out);
    auto lineFor = [&](const char *ids) {
        for (const QString &line : lines)
            if (line.contains(QLatin1String(ids)))
                return line;
        return QString();
    };
    const QString heronLine = lineFor("2dc8:3011");
    EXPECT_TRUE(heronLine.contains(QStringLiteral("Fenwyk Heron  [")) && heronLine.endsWith(QStringLiteral("opens")))
        << qPrintable(heronLine);
    EXPECT_TRUE(
        lineFor("2dc8:3100")
            .endsWith(QStringLiteral(
                "cannot be opened: No such file or directory - the node is gone or not ready yet: re-plug the device")))
        << qPrintable(text.out);

    const Result json = cli({QStringLiteral("report"), QStringLiteral("--json")});
    ASSERT_EQ(json.status, 0) << qPrintable(json.err);
    const QJsonObject report = QJsonDocument::fromJson(json.out.trimmed().toUtf8()).object();
    EXPECT_TRUE(report.value(QStringLiteral("server")).toObject().value(QStringLiteral("ok")).toBool());
    EXPECT_FALSE(report.value(QStringLiteral("qt")).toString().isEmpty());
    const QJsonArray nodes = report.value(QStringLiteral("hidraw")).toArray();
    ASSERT_EQ(nodes.size(), 2) << qPrintable(json.out);
    for (const QJsonValue &value : nodes) {
        const QJsonObject node = value.toObject();
        const bool isHeron = node.value(QStringLiteral("pid")).toString() == QStringLiteral("3011");
        SCOPED_TRACE(qPrintable(node.value(QStringLiteral("pid")).toString()));
        EXPECT_EQ(node.value(QStringLiteral("vid")).toString(), QStringLiteral("2dc8"));
        EXPECT_EQ(node.value(QStringLiteral("opens")).toBool(), isHeron);
        if (isHeron) {
            EXPECT_FALSE(node.value(QStringLiteral("product")).toString().isEmpty());
        } else {
            EXPECT_EQ(node.value(QStringLiteral("errno")).toInt(), ENOENT);
            EXPECT_TRUE(node.value(QStringLiteral("fix")).toString().contains(QStringLiteral("re-plug")));
        }
    }
}
