#include "runs/LabFlashRun.h"

#include "boot/ClassicFrames.h"
#include "boot/SHIDBoot.h"
#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "device/HidTransport.h"
#include "models/ReplayDevices.h"
#include "platform/NotificationCenter.h"
#include "platform/RecordingWriter.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"
#include "runs/BootEventPrinter.h"
#include "runs/BootloaderFactory.h"
#include "runs/LabRecording.h"
#include "update/UpdateRecordingContext.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

namespace flashwell::lab {

namespace {

constexpr int64_t kWatchdogTickMs = 3000;
constexpr int64_t kSettleMs = 1000;

QString hex4(uint32_t v)
{
    return QStringLiteral("0x%1").arg(v, 4, 16, QLatin1Char('0'));
}

// Plays the update screen's part: prints every callback (as the update run's printer does) and
// ends the run on the callbacks that end an update.
class LabUpdateScreen final : public BootEventPrinter
{
public:
    LabUpdateScreen(VirtualScheduler &clock, std::function<void(const QJsonObject &)> &lineSink)
        : m_clock(clock)
    {
        // The sink is handed in later (after the run is made), so it is looked up at each line.
        sink = [&lineSink](const QJsonObject &line) {
            if (lineSink)
                lineSink(line);
        };
        seen = [this](const char *) { lastLife = m_clock.nowMs(); };
        NotificationCenter::defaultCenter().addObserver(
            this, QString::fromLatin1(transport::kUpdateErrorNotification),
            [this] { end(false, QStringLiteral("a data report could not be sent")); });
    }

    std::optional<bool> success;
    QString message;
    int64_t endedAt = 0;
    int64_t lastLife = 0;
    std::function<void(const SFenwykDevicePtr &)> onBootloaderArrived;
    // The session's own account of the step it is in, for the stall message.
    std::function<QString()> currentStep;

    void SHIDBootStartUpdateed(SHIDManager *hid) override
    {
        BootEventPrinter::SHIDBootStartUpdateed(hid);
        end(true, QStringLiteral("update finished"));
    }
    void SHIDBootNotSupportFirmware(SHIDManager *hid) override
    {
        BootEventPrinter::SHIDBootNotSupportFirmware(hid);
        end(false, QStringLiteral("firmware not supported by this device"));
    }
    void SHIDBootErrorString(SHIDManager *hid, const QString &msg) override
    {
        BootEventPrinter::SHIDBootErrorString(hid, msg);
        end(false, msg);
    }
    void SHIDBootErrorNOEqualPID(SHIDManager *hid, uint32_t gamepadType, uint32_t pid) override
    {
        BootEventPrinter::SHIDBootErrorNOEqualPID(hid, gamepadType, pid);
        end(false, QStringLiteral("firmware is for product %1, device is %2").arg(hex4(gamepadType), hex4(pid)));
    }
    void SHIDBootAddDevice(const SFenwykDevicePtr &device, SHIDManager *hid) override
    {
        BootEventPrinter::SHIDBootAddDevice(device, hid);
        if (onBootloaderArrived)
            onBootloaderArrived(device);
    }
    void SHIDBootHJZUpdate(SHIDBootHJZ *hjz, const SFenwykDevicePtr &device) override
    {
        BootEventPrinter::SHIDBootHJZUpdate(hjz, device);
        // No screen starts an HJZ update; the lab does.
        hjz->startUpdate();
    }
    void SHIDBootHJZUpdateSuccess(SHIDBootHJZ *hjz) override
    {
        BootEventPrinter::SHIDBootHJZUpdateSuccess(hjz);
        end(true, QStringLiteral("update finished"));
    }
    void SHIDBootHJZUpdateFail(SHIDBootHJZ *hjz, const QString &msg) override
    {
        BootEventPrinter::SHIDBootHJZUpdateFail(hjz, msg);
        end(false, msg);
    }

    void checkStall()
    {
        if (m_clock.nowMs() - lastLife > LabFlashRun::kStallMs)
            end(false, currentStep ? QStringLiteral("stalled: %1").arg(currentStep()) : QStringLiteral("stalled"));
    }

    // The first outcome stands.
    void end(bool ok, const QString &text)
    {
        if (success)
            return;
        success = ok;
        message = text;
        endedAt = m_clock.nowMs();
    }

private:
    VirtualScheduler &m_clock;
};

} // namespace

struct LabFlashRun::State
{
    State(LabFlashOptions o, std::function<void(const QJsonObject &)> &sink)
        : options(std::move(o))
        , bus(clock)
        , recording(clock, bus, options.recordPath, QStringLiteral("flash"))
        , screen(clock, sink)
    {}

    HidBackend *host() const { return recording.host(); }

    LabFlashOptions options;
    VirtualScheduler clock;
    VirtualHidBus bus;
    LabRecording recording;
    std::unique_ptr<ReplayDevices> replay;
    LabUpdateScreen screen;
    std::unique_ptr<SHIDBoot> classicSession;
    std::unique_ptr<SHIDBootVela2> vela2Session;
    std::unique_ptr<SHIDBootHJZ> hjzSession;
    // The lab's bootloader (none when a recording's devices stand in for it).
    std::unique_ptr<VirtualBootloader> device;

    void setUpClassic()
    {
        classicSession = std::make_unique<SHIDBoot>(PlatformServices{&clock, host()});
        classicSession->addBootDelegate(&screen);
        classicSession->filePath = QFileInfo(options.file).absoluteFilePath();
        classicSession->isUSBRR_PS_classic = options.receiverSettings;
        classicSession->open();
        screen.currentStep = [session = classicSession.get()] { return session->currentStep(); };
        // The version query starts the classic exchange.
        screen.onBootloaderArrived = [](const SFenwykDevicePtr &d) {
            transport::sendFramedPacket(d->deviceRef.data(), transport::kGuard, classic::kCommandVersion, {});
        };
    }

    void setUpSecondGen()
    {
        vela2Session = std::make_unique<SHIDBootVela2>(PlatformServices{&clock, host()});
        vela2Session->addBootDelegate(&screen);
        vela2Session->filePath = QFileInfo(options.file).absoluteFilePath();
        vela2Session->open();
        SHIDBootVela2 *session = vela2Session.get();
        screen.currentStep = [session] { return session->currentStep(); };
        screen.onBootloaderArrived = [session](const SFenwykDevicePtr &) { session->readPID(); };
    }

    void setUpHjz()
    {
        hjzSession = std::make_unique<SHIDBootHJZ>(PlatformServices{&clock, host()});
        hjzSession->addBootDelegate(&screen);
        hjzSession->filePath = QFileInfo(options.file).absoluteFilePath();
        hjzSession->cur_devId = options.devId.value_or(0);
        hjzSession->open();
        screen.currentStep = [session = hjzSession.get()] { return session->currentStep(); };
    }
};

LabFlashRun::LabFlashRun(const LabFlashOptions &options)
    : m(std::make_unique<State>(options, onEvent))
{
    switch (m->options.bootloader) {
    case LabBootloader::Classic:
        m->setUpClassic();
        break;
    case LabBootloader::SecondGen:
        m->setUpSecondGen();
        break;
    case LabBootloader::Hjz:
        m->setUpHjz();
        break;
    }
    if (!m->options.replay)
        m->device = makeBootloader(m->bus, m->options);
}

LabFlashRun::~LabFlashRun() = default;

QString LabFlashRun::recordingError() const
{
    return m->recording.error();
}

ReplayDevices *LabFlashRun::replayDevices() const
{
    return m->replay.get();
}

void LabFlashRun::endNow(bool success, const QString &message)
{
    m->screen.end(success, message);
}

QString LabFlashRun::currentStep() const
{
    return m->screen.currentStep ? m->screen.currentStep() : QString();
}

const FlashMemory &LabFlashRun::flash() const
{
    static const FlashMemory none;
    return m->device ? m->device->flash() : none;
}

std::optional<uint16_t> LabFlashRun::normalModeVersion() const
{
    const VirtualDinputController *normal = m->device ? m->device->normalMode() : nullptr;
    if (!normal || !normal->device())
        return std::nullopt;
    return normal->versionHundredths;
}

FlashRunResult LabFlashRun::run()
{
    if (m->options.failSend)
        m->bus.injectFault({HidFault::Kind::FailSend, HidFault::Direction::HostToDevice, *m->options.failSend});

    LabUpdateScreen &screen = m->screen;
    RecordingWriter *writer = m->recording.writer();
    if (writer) {
        static const char *const kNames[] = {"classic", "second-gen", "hjz"};
        QJsonObject start{
            {QStringLiteral("event"), QStringLiteral("update")},
            {QStringLiteral("step"), QStringLiteral("start")},
            {QStringLiteral("bootloader"), QLatin1String(kNames[static_cast<int>(m->options.bootloader)])},
            {QStringLiteral("receiver_settings"), m->options.receiverSettings}};
        if (m->options.devId)
            start.insert(QStringLiteral("dev_id"), static_cast<qint64>(*m->options.devId));
        writer->write(start);
        QJsonObject firmware = UpdateRecordingContext::fileDigests(m->options.file);
        firmware.insert(QStringLiteral("event"), QStringLiteral("update"));
        firmware.insert(QStringLiteral("step"), QStringLiteral("firmware"));
        writer->write(firmware);
    }
    const auto watchdog = m->clock.every(kWatchdogTickMs, [&screen] { screen.checkStall(); });
    if (m->options.replay) {
        m->replay = m->options.replay(m->bus);
        m->replay->start();
        // The session's start and its file, as the recording wrote them before the device came.
        m->replay->hostStep(QStringLiteral("start"));
        m->replay->hostStep(QStringLiteral("firmware"));
    } else {
        m->device->plug();
    }
    QElapsedTimer wall;
    wall.start();
    while (!screen.success) {
        if (m->options.realTime) {
            // The recorded pace: virtual time follows the wall clock.
            QThread::msleep(10);
            m->clock.advance(std::max<qint64>(0, wall.elapsed() - m->clock.nowMs()));
        } else {
            m->clock.advance(10);
        }
    }
    m->clock.cancel(watchdog);
    if (m->replay)
        m->replay->finish();
    if (writer) {
        writer->write(QJsonObject{
            {QStringLiteral("event"), QStringLiteral("update")},
            {QStringLiteral("step"), QStringLiteral("outcome")},
            {QStringLiteral("result"), *screen.success ? QStringLiteral("success") : QStringLiteral("failed")},
            {QStringLiteral("message"), screen.message}});
        writer->finish();
    }
    m->clock.advance(kSettleMs); // let the device finish what it was told

    FlashRunResult result;
    result.success = *screen.success;
    result.message = screen.message;
    result.reportsOut = static_cast<int64_t>(m->bus.outputLog().size());
    result.virtualMs = screen.endedAt;
    return result;
}

QJsonObject LabFlashRun::flashDump() const
{
    return flashDumpOf(flash(), m->device ? m->device->writtenSettings() : std::nullopt);
}

} // namespace flashwell::lab
