#include "commands/DiscoverCommand.h"

#include "commands/JsonLines.h"
#include "device/DeviceDelegate.h"
#include "device/FirmwareVersion.h"
#include "device/SHIDDinput.h"
#include "device/SHIDHJZ.h"
#include "device/SHIDSwitchAndMac.h"
#include "device/SHIDXinput.h"
#include "device/UsbIdentities.h"
#include "models/VirtualDinputController.h"
#include "models/VirtualVendorModeController.h"
#include "platform/CommandLine.h"
#include "platform/HidApiBackend.h"
#include "platform/QtScheduler.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace flashwell::lab {

namespace {

QString hex4(uint16_t v)
{
    return QStringLiteral("0x%1").arg(v, 4, 16, QLatin1Char('0'));
}

// Prints what the watchers announce.
class JsonDeviceDelegate final : public QObject, public DeviceDelegate
{
public:
    explicit JsonDeviceDelegate(const Scheduler &clock)
        : m_clock(clock)
    {}

    void addSFenwykDevice(const SFenwykDevicePtr &device) override { print("addSFenwykDevice", device); }
    void removeSFenwykDevice(const SFenwykDevicePtr &device) override { print("removeSFenwykDevice", device); }

private:
    void print(const char *event, const SFenwykDevicePtr &device)
    {
        QJsonObject o{{QStringLiteral("event"), QLatin1String(event)},
                      {QStringLiteral("ms"), static_cast<qint64>(m_clock.nowMs())}};
        if (device) {
            const SFenwykDataDetailsPtr entry = device->details();
            o.insert(QStringLiteral("deviceName"), device->deviceName);
            o.insert(QStringLiteral("pid"), hex4(device->pid));
            o.insert(QStringLiteral("vid"), hex4(device->vid));
            o.insert(QStringLiteral("version"), firmware_version::number(device->version()));
            o.insert(QStringLiteral("beta"), device->beta);
            o.insert(QStringLiteral("bootVersion"), hex4(device->bootVersion));
            o.insert(QStringLiteral("isChangeBoot"), device->isChangeBoot);
            o.insert(QStringLiteral("isCarryRR"), device->isCarryRR != 0);
            o.insert(QStringLiteral("attached"), !device->deviceRef.isNull());
            o.insert(QStringLiteral("name"), entry ? entry->name() : QString());
            o.insert(QStringLiteral("type"), entry ? entry->type : 0);
        } else {
            o.insert(QStringLiteral("device"), QJsonValue::Null);
        }
        printJsonLine(o);
    }

    const Scheduler &m_clock;
};

struct Watchers
{
    explicit Watchers(PlatformServices services)
        : dinput(services)
        , switchAndMac(services)
        , xinput(services)
        , hjz(services)
    {}
    void open(DeviceDelegate *delegate)
    {
        dinput.setDelegate(delegate);
        switchAndMac.setDelegate(delegate);
        dinput.open();
        switchAndMac.open();
        xinput.open();
        hjz.open();
    }
    SHIDDinput dinput;
    SHIDSwitchAndMac switchAndMac;
    SHIDXinput xinput;
    SHIDHJZ hjz;
};

int discoverVirtual()
{
    VirtualScheduler clock;
    VirtualHidBus bus(clock);
    JsonDeviceDelegate delegate(clock);
    Watchers watchers({&clock, &bus});
    watchers.open(&delegate);

    // A controller in D-input mode, answering in layout A.
    VirtualDinputController crane(bus, 0x3100, usb::kVendorId, QStringLiteral("Fenwyk Crane"));
    crane.versionHundredths = 125;
    // A controller with its bootloader version, layout A.
    VirtualDinputController condor(bus, 0x6002, usb::kVendorId, QStringLiteral("Fenwyk Condor Pro"));
    condor.versionHundredths = 210;
    condor.bootVersion = 0x0105;
    // The two-product receiver, answering in layout B with the 2.4 GHz sub-PID.
    VirtualDinputController summit(bus, 0x3109, usb::kVendorId, QStringLiteral("Fenwyk Summit Adapter"));
    summit.layout = VirtualDinputController::Layout::B;
    summit.versionHundredths = 302;
    summit.subPid = 0x3013;
    // Switch mode, a product announced there.
    VirtualVendorModeController wireless(bus, VirtualVendorModeController::Identity::Switch, 0x3101);
    wireless.versionHundredths = 110;
    // macOS mode, a product that is sent back to D-input mode and announced there.
    VirtualDinputController craneLite(bus, 0x3105, usb::kVendorId, QStringLiteral("Fenwyk Crane Lite"));
    craneLite.layout = VirtualDinputController::Layout::B;
    craneLite.versionHundredths = 203;
    VirtualVendorModeController sonyMode(bus, VirtualVendorModeController::Identity::Sony, 0x3105);
    sonyMode.setDinputTarget(craneLite.identity(), &craneLite);
    // Recorded but never announced.
    SilentDevice xinput(
        bus, HidIdentity{usb::kXinput.vendorId, usb::kXinput.productId, QStringLiteral("Controller (X-input)")});

    crane.plug();
    condor.plug();
    summit.plug();
    wireless.plug();
    sonyMode.plug();
    xinput.plug();
    clock.advance(2000);
    crane.unplug();
    clock.runUntilIdle();
    // The lab's own teardown unplugs everything; that is not part of the story.
    watchers.dinput.setDelegate(nullptr);
    watchers.switchAndMac.setDelegate(nullptr);
    return 0;
}

int discoverReal(int seconds)
{
    // The lab's main() has made the application object.
    QCoreApplication *app = QCoreApplication::instance();
    QtScheduler clock;
    HidApiBackend backend;
    JsonDeviceDelegate delegate(clock);
    Watchers watchers({&clock, &backend});
    watchers.open(&delegate);
    QTimer::singleShot(seconds * 1000, app, &QCoreApplication::quit);
    return app->exec();
}

} // namespace

int runDiscover(const QStringList &args)
{
    // Words it does not know, and a --seconds without its number, are passed over; the first
    // --seconds counts, and only with --hidapi.
    bool hidapi = false;
    std::optional<QString> seconds;
    CommandLine(CommandLine::Rules{.unknown = CommandLine::Unknown::Skip})
        .flag({QStringLiteral("--hidapi")}, [&hidapi] { hidapi = true; })
        .value({QStringLiteral("--seconds")},
               [&seconds](const QString &v) {
                   seconds = v;
                   return QString();
               })
        .once()
        .read(args);
    if (!hidapi)
        return discoverVirtual();
    int wait = 10;
    if (seconds) {
        bool ok = false;
        wait = seconds->toInt(&ok);
        if (!ok || wait <= 0) {
            std::fprintf(stderr, "flashwell-lab discover: --seconds needs a positive number\n");
            return 2;
        }
    }
    return discoverReal(wait);
}

} // namespace flashwell::lab
