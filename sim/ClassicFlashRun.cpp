#include "ClassicFlashRun.h"

#include "VirtualClassicBootloader.h"
#include "boot/SHIDBoot.h"
#include "device/HidTransport.h"
#include "platform/NotificationCenter.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <QFileInfo>
#include <QJsonArray>

namespace flashwell::lab {

namespace {

constexpr int64_t kWatchdogTickMs = 3000;
constexpr int64_t kSettleMs = 1000;

QString hex4(uint32_t v)
{
    return QStringLiteral("0x%1").arg(v, 4, 16, QLatin1Char('0'));
}

// Plays the update screen's part.
class LabUpdateScreen final : public QObject, public SHIDBootDelegate
{
public:
    LabUpdateScreen(VirtualScheduler &clock, std::function<void(const QJsonObject &)> &sink)
        : m_clock(clock)
        , m_sink(sink)
    {
        NotificationCenter::defaultCenter().addObserver(
            this, QString::fromLatin1(transport::kUpdateErrorNotification),
            [this] { end(false, QStringLiteral("a data report could not be sent")); });
    }

    std::optional<bool> success;
    QString message;
    int64_t endedAt = 0;
    int64_t lastLife = 0;

    void SHIDBootRemoveDevice(const SFenwykDevicePtr &, SHIDManager *) override
    {
        emitEvent({{"event", "SHIDBootRemoveDevice"}});
    }
    void SHIDBootGetVersion(const SFenwykDevicePtr &device, SHIDManager *) override
    {
        emitEvent({{"event", "SHIDBootGetVersion"},
                   {"version", QString::asprintf("%.2f", static_cast<double>(device->version()))},
                   {"beta", device->beta}});
    }
    void SHIDBootGetFirmwaerType(uint32_t type, SHIDManager *) override
    {
        emitEvent({{"event", "SHIDBootGetFirmwaerType"}, {"firmwareType", static_cast<qint64>(type)}});
    }
    void SHIDBootStartUpdate(SHIDManager *) override { emitEvent({{"event", "SHIDBootStartUpdate"}}); }
    void SHIDBootStartUpdateing(int32_t progress, SHIDManager *) override
    {
        emitEvent({{"event", "SHIDBootStartUpdateing"}, {"progress", progress}});
    }
    void SHIDBootStartUpdateed(SHIDManager *) override
    {
        emitEvent({{"event", "SHIDBootStartUpdateed"}});
        end(true, QStringLiteral("update finished"));
    }
    void SHIDBootNotSupportFirmware(SHIDManager *) override
    {
        emitEvent({{"event", "SHIDBootNotSupportFirmware"}});
        end(false, QStringLiteral("firmware not supported by this device"));
    }
    void SHIDBootErrorString(SHIDManager *, const QString &msg) override
    {
        emitEvent({{"event", "SHIDBootErrorString"}, {"message", msg}});
        end(false, msg);
    }
    void SHIDBootErrorNOEqualPID(SHIDManager *, uint32_t gamepadType, uint32_t pid) override
    {
        emitEvent({{"event", "SHIDBootErrorNOEqualPID"},
                   {"gamepadType", static_cast<qint64>(gamepadType)},
                   {"pid", static_cast<qint64>(pid)}});
        end(false, QStringLiteral("firmware is for product %1, device is %2").arg(hex4(gamepadType), hex4(pid)));
    }
    void SHIDBootAddDevice(const SFenwykDevicePtr &device, SHIDManager *) override
    {
        emitEvent({{"event", "SHIDBootAddDevice"}, {"pid", hex4(device->pid)}, {"vid", hex4(device->vid)}});
        // The version query starts the classic exchange.
        transport::sendFramedPacket(device->deviceRef.data(), transport::kGuard, classic::kCommandVersion, {});
    }

    void checkStall()
    {
        if (m_clock.nowMs() - lastLife > ClassicFlashRun::kStallMs)
            end(false, QStringLiteral("stalled"));
    }

private:
    void emitEvent(std::initializer_list<std::pair<QString, QJsonValue>> fields)
    {
        lastLife = m_clock.nowMs();
        QJsonObject o;
        for (const auto &[k, v] : fields)
            o.insert(k, v);
        if (m_sink)
            m_sink(o);
    }
    void end(bool ok, const QString &text)
    {
        if (success)
            return;
        success = ok;
        message = text;
        endedAt = m_clock.nowMs();
    }

    VirtualScheduler &m_clock;
    std::function<void(const QJsonObject &)> &m_sink;
};

} // namespace

struct ClassicFlashRun::State
{
    State(ClassicFlashOptions o, std::function<void(const QJsonObject &)> &sink)
        : options(std::move(o))
        , bus(clock)
        , screen(clock, sink)
        , session({&clock, &bus})
        , device(bus, options.pid, options.vid)
    {}
    ClassicFlashOptions options;
    VirtualScheduler clock;
    VirtualHidBus bus;
    LabUpdateScreen screen;
    SHIDBoot session;
    VirtualClassicBootloader device;
};

ClassicFlashRun::ClassicFlashRun(ClassicFlashOptions options)
    : m(std::make_unique<State>(std::move(options), onEvent))
{}

ClassicFlashRun::~ClassicFlashRun() = default;

const VirtualClassicBootloader &ClassicFlashRun::device() const
{
    return m->device;
}

FlashRunResult ClassicFlashRun::run()
{
    const ClassicFlashOptions &o = m->options;
    m->session.setBootDelegate(&m->screen);
    m->session.filePath = QFileInfo(o.file).absoluteFilePath();
    m->session.isUSBRR_PS_classic = o.receiverSettings;
    m->session.open();

    VirtualClassicBootloader &device = m->device;
    device.info = {o.bootVersion, o.hwCode, o.fwType};
    device.dropReplyAt = o.dropReply;
    device.corruptWriteAt = o.corruptWrite;
    device.unplugAfter = o.unplugAfter;
    for (std::size_t i = 0; i < device.settings.size(); ++i)
        device.settings[i] = static_cast<uint8_t>(0xA0 + i); // recognisable factory settings
    if (o.failSend)
        m->bus.injectFault({HidFault::Kind::FailSend, HidFault::Direction::HostToDevice, *o.failSend});

    LabUpdateScreen &screen = m->screen;
    const auto watchdog = m->clock.every(kWatchdogTickMs, [&screen] { screen.checkStall(); });
    device.plug();
    while (!screen.success)
        m->clock.advance(10);
    m->clock.cancel(watchdog);
    m->clock.advance(kSettleMs); // let the device finish what it was told

    FlashRunResult result;
    result.success = *screen.success;
    result.message = screen.message;
    result.reportsOut = static_cast<int64_t>(m->bus.outputLog().size());
    result.virtualMs = screen.endedAt;
    return result;
}

QJsonObject ClassicFlashRun::flashDump() const
{
    const VirtualClassicBootloader &device = m->device;
    QJsonArray regions;
    auto add = [&](uint32_t address, const QByteArray &data) {
        regions.append(QJsonObject{{QStringLiteral("address"), static_cast<qint64>(address)},
                                   {QStringLiteral("data"), QString::fromLatin1(data.toHex())}});
    };
    const QByteArray settings(reinterpret_cast<const char *>(device.settings.data()), classic::kSettingsSize);
    bool settingsPending = device.settingsWritten();
    for (const auto &r : device.flash().regions()) {
        if (settingsPending && classic::kSettingsAddress < r.address) {
            add(classic::kSettingsAddress, settings);
            settingsPending = false;
        }
        add(r.address, r.data);
    }
    if (settingsPending)
        add(classic::kSettingsAddress, settings);
    return QJsonObject{{QStringLiteral("regions"), regions}};
}

} // namespace flashwell::lab
