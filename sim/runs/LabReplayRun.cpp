#include "runs/LabReplayRun.h"

#include "models/ReplayDevices.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/UserDefaults.h"
#include "runs/LabFlashRun.h"
#include "runs/LabUpdateRun.h"
#include "server/LabFirmwareServer.h"
#include "update/UpdateRecordingContext.h"

#include <QFile>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTemporaryDir>

namespace flashwell::lab {

namespace {
// A run's end as the replay reports it: a divergence outranks the run's own verdict.
template <class RunResult> ReplayResult replayResultOf(const RunResult &r, const ReplayDevices *devices)
{
    ReplayResult result;
    result.reports = devices ? devices->reportsMatched() : 0;
    result.virtualMs = r.virtualMs;
    result.message = r.message;
    result.outcome = devices && devices->divergence() ? ReplayResult::Outcome::Diverged
                     : r.success                      ? ReplayResult::Outcome::Success
                                                      : ReplayResult::Outcome::Failed;
    return result;
}

// The replay devices of a run: they name the run's step in a divergence, and end the run at one.
// `running` is the run once it exists (the devices are made inside its constructor).
template <class Run, class Step>
std::unique_ptr<ReplayDevices> replayDevicesFor(const Recording &recording, VirtualHidBus &bus, Run *&running,
                                                Step step)
{
    auto devices = std::make_unique<ReplayDevices>(recording, bus);
    devices->currentStep = [&running, step](HidDevice *hid) { return running ? step(*running, hid) : QString(); };
    devices->onDiverged = [&running](const ReplayDevices::Divergence &d) {
        if (running)
            running->endNow(false, d.message);
    };
    return devices;
}
} // namespace

QString ReplayResult::outcomeName() const
{
    switch (outcome) {
    case Outcome::Success:
        return QStringLiteral("success");
    case Outcome::Failed:
        return QStringLiteral("failed");
    case Outcome::Diverged:
        break;
    }
    return QStringLiteral("diverged");
}

LabReplayRun::LabReplayRun(LabReplayOptions options)
    : m_options(std::move(options))
{}

void LabReplayRun::line(const QJsonObject &object)
{
    if (onLine)
        onLine(object);
}

bool LabReplayRun::load(QString *error)
{
    m_recording = RecordingReader::read(m_options.recordingPath, error);
    if (!m_recording)
        return false;
    const QString kind = m_recording->kind();
    if (kind != QLatin1String("update") && kind != QLatin1String("flash")) {
        *error = QStringLiteral("line 1: unknown kind of recording \"%1\" (update or flash expected)").arg(kind);
        return false;
    }
    if (!m_recording->step(QStringLiteral("start"))) {
        *error = QStringLiteral("the recording ends before its update started: nothing to replay");
        return false;
    }
    if (m_options.firmwarePath.isEmpty()) {
        // The reports carry the firmware transformed and framed per protocol; it is not rebuilt.
        *error = QStringLiteral("give the firmware file with --file (a recording does not carry it)");
        return false;
    }
    const QJsonObject digests = UpdateRecordingContext::fileDigests(m_options.firmwarePath);
    if (digests.isEmpty()) {
        *error = QStringLiteral("cannot read %1").arg(m_options.firmwarePath);
        return false;
    }
    return true;
}

ReplayResult LabReplayRun::run()
{
    // A different file is replayed all the same: the first report it changes is the divergence.
    const QJsonObject digests = UpdateRecordingContext::fileDigests(m_options.firmwarePath);
    if (const RecordingEvent *firmware = m_recording->step(QStringLiteral("firmware"))) {
        const QString recorded = firmware->json.value(QStringLiteral("sha256")).toString();
        const QString given = digests.value(QStringLiteral("sha256")).toString();
        if (recorded != given)
            line(QJsonObject{
                {QStringLiteral("warning"), QStringLiteral("the firmware file differs from the recorded one")},
                {QStringLiteral("recorded_sha256"), recorded},
                {QStringLiteral("sha256"), given}});
    }
    return m_recording->kind() == QLatin1String("flash") ? runFlash() : runUpdate();
}

ReplayResult LabReplayRun::runFlash()
{
    const QJsonObject start = m_recording->step(QStringLiteral("start"))->json;
    LabFlashOptions o;
    const QString bootloader = start.value(QStringLiteral("bootloader")).toString();
    o.bootloader = bootloader == QLatin1String("hjz")          ? LabBootloader::Hjz
                   : bootloader == QLatin1String("second-gen") ? LabBootloader::SecondGen
                                                               : LabBootloader::Classic;
    o.receiverSettings = start.value(QStringLiteral("receiver_settings")).toBool();
    if (start.contains(QStringLiteral("dev_id")))
        o.devId = static_cast<uint32_t>(start.value(QStringLiteral("dev_id")).toInteger());
    o.file = m_options.firmwarePath;
    o.realTime = m_options.realTime;
    o.recordPath = m_options.recordPath;
    LabFlashRun *running = nullptr;
    o.replay = [this, &running](VirtualHidBus &bus) {
        return replayDevicesFor(*m_recording, bus, running,
                                [](LabFlashRun &run, HidDevice *) { return run.currentStep(); });
    };
    ReplayResult result;
    {
        LabFlashRun flash(o);
        running = &flash;
        flash.onEvent = [this](const QJsonObject &event) { line(event); };
        const FlashRunResult r = flash.run(); // the run creates the replay devices
        result = replayResultOf(r, flash.replayDevices());
        running = nullptr;
    }
    return result;
}

ReplayResult LabReplayRun::runUpdate()
{
    const QJsonObject start = m_recording->step(QStringLiteral("start"))->json;
    ReplayResult result;

    // The server lists the recorded releases; the chosen one's file is the one given here.
    LabFirmwareServer server;
    if (!server.listen()) {
        result.message = QStringLiteral("cannot start the lab server");
        return result;
    }
    QFile file(m_options.firmwarePath);
    if (!file.open(QIODevice::ReadOnly)) {
        result.message = QStringLiteral("cannot read %1").arg(m_options.firmwarePath);
        return result;
    }
    const QByteArray firmware = file.readAll();
    const QJsonObject chosen = start.value(QStringLiteral("release")).toObject();
    const QJsonArray releases = start.value(QStringLiteral("releases")).toArray();
    for (const auto &value : releases) {
        QJsonObject release = value.toObject();
        if (release.value(QStringLiteral("id")) == chosen.value(QStringLiteral("id"))) {
            // Size and digest are the given file's, so a different file is downloaded and flashed.
            release.remove(QStringLiteral("fileSize"));
            release.remove(QStringLiteral("md5"));
            server.addRelease(release, firmware);
        } else {
            server.addRelease(release, QByteArray());
        }
    }

    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        result.message = QStringLiteral("cannot create a temporary folder");
        return result;
    }
    // The beta switch as it was: it decides which list rules apply.
    const QString betaKey = QStringLiteral("UserDefaults_isBeta");
    const bool previousBeta = UserDefaults::standard().boolForKey(betaKey);
    UserDefaults::standard().setObject(start.value(QStringLiteral("beta_builds")).toBool(), betaKey);
    ServerConfig config = ServerConfig::defaults();
    config.primary = config.china = config.beta = server.baseUrl();
    config.downloadsRoot = scratch.path();
    ServerConfig::install(config);
    SHttp::network().setProxy(QNetworkProxy::NoProxy);

    const QJsonObject device = start.value(QStringLiteral("device")).toObject();
    LabUpdateOptions o;
    o.pid = static_cast<uint16_t>(device.value(QStringLiteral("pid")).toInt());
    o.row = start.value(QStringLiteral("chosen")).toInt();
    o.pressAtMs = m_recording->step(QStringLiteral("start"))->t;
    o.manual = !device.value(QStringLiteral("switchable")).toBool(true);
    o.realTime = m_options.realTime;
    o.recordPath = m_options.recordPath;
    LabUpdateRun *running = nullptr;
    o.replay = [this, &running](VirtualHidBus &bus) {
        return replayDevicesFor(*m_recording, bus, running,
                                [](LabUpdateRun &run, HidDevice *hid) { return run.currentStep(hid); });
    };
    {
        LabUpdateRun update(o);
        running = &update;
        update.onLine = [this](const QJsonObject &object) { line(object); };
        const UpdateRunResult r = update.run(); // the run creates the replay devices
        result = replayResultOf(r, update.replayDevices());
        running = nullptr;
    }
    ServerConfig::install(std::nullopt);
    UserDefaults::standard().setObject(previousBeta, betaKey);
    return result;
}

} // namespace flashwell::lab
