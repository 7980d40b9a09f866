#pragma once

#include "net/ServerConfig.h"
#include "platform/VirtualHidBus.h"
#include "runs/LabFlashRun.h"
#include "server/LabFirmwareServer.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace flashwell {
class Scheduler;
class SFenwykDataDetails;
} // namespace flashwell

namespace flashwell::lab {

class FlashMemory;
class VirtualBootloader;
class VirtualDeviceModel;

// The bootloader a product of the catalogue is updated through in the lab: the second-generation
// bootloader for the products it knows by product ID, the HJZ bootloader for its family, the
// classic bootloader for the rest.
LabBootloader demoBootloaderFor(const SFenwykDataDetails &entry);

// One release the demo's servers offer.
struct DemoRelease
{
    int type = 0;
    uint16_t versionHundredths = 0;
    uint16_t beta = 0;
    LabBootloader bootloader = LabBootloader::Classic;
    QByteArray payload; // the image bytes the device's flash ends up holding
    QByteArray file;    // the firmware file as served
    // Where a demo device's flash holds the image after the update, and what it holds there (the
    // HJZ bootloader is given every page but the first).
    uint32_t flashAddress = 0;
    QByteArray flashImage;
};

// The outside world of `flashwell-demo`, built from the lab: a virtual HID bus on the real clock
// with a 2 ms round trip, two firmware servers on loopback (the release server and the beta
// server), a release set for every catalogue type built for the bootloader that type goes
// through, and one virtual device per bootloader family that can be plugged, unplugged, brought
// back already in its bootloader, and given a fault for its next update.
class DemoLab final : public QObject
{
    Q_OBJECT
public:
    enum class Fault { None, UnplugWhileWriting, DropReply };

    // Every device report travels this long each way.
    static constexpr int64_t kLatencyMs = 1;
    // The version every demo device runs when first plugged (1.00) and the releases offered:
    // the one it runs, a newer one, and (on the beta server only) a beta build of a later one.
    static constexpr uint16_t kDeviceVersion = 100;
    static constexpr uint16_t kNewerVersion = 110;
    static constexpr uint16_t kBetaVersion = 120;
    static constexpr uint16_t kBetaNumber = 3;

    // `folder` receives the firmware files, the settings and the download cache.
    DemoLab(Scheduler &scheduler, QString folder, QObject *parent = nullptr);
    ~DemoLab() override;

    // Builds the releases and starts both servers; false (with a reason) when that fails.
    bool start(QString *error = nullptr);
    // The servers and cache folder the application should use.
    ServerConfig serverConfig() const;
    QString settingsFile() const;
    QString folder() const { return m_folder; }

    VirtualHidBus &bus() { return m_bus; }
    LabFirmwareServer &server() { return m_server; }
    LabFirmwareServer &betaServer() { return m_betaServer; }
    const std::vector<DemoRelease> &releases() const { return m_releases; }
    const DemoRelease *release(int type, uint16_t versionHundredths, uint16_t beta = 0) const;
    // One more release (not a beta) for the product of demo device `index`, with an image of
    // `imageSize` bytes, on both servers; null for an index past the devices. Call after start().
    const DemoRelease *addRelease(int index, uint16_t versionHundredths, int imageSize);

    // The demo devices, in menu order.
    int deviceCount() const;
    QString deviceName(int index) const;
    int deviceType(int index) const;
    LabBootloader deviceBootloader(int index) const;
    bool isPlugged(int index) const;
    bool isInBootloader(int index) const;
    // Plugs the device in normal mode (with the firmware it was last given).
    void plug(int index);
    void unplug(int index);
    // Unplugs it and brings it back already running its bootloader.
    void plugInBootloader(int index);
    void plugAll();
    // The flash of the device's most recent bootloader (null before it ever ran one).
    const FlashMemory *flash(int index) const;

    // The fault takes effect on the next bootloader that arrives, then disarms.
    void armFault(Fault fault) { m_armedFault = fault; }
    Fault armedFault() const { return m_armedFault; }

Q_SIGNALS:
    // A device arrived or left, or a fault was used up: menus refresh from this.
    void changed();

private:
    struct Slot;
    void buildReleases();
    DemoRelease buildRelease(const SFenwykDataDetails &entry, uint16_t version, uint16_t beta, int size) const;
    void publish(const SFenwykDataDetails &entry, DemoRelease release, const QString &date);
    void onArrived(HidDevice *device);
    void identifyArrival(HidDevice *device);
    VirtualBootloader *freshBootloader(Slot &slot);
    VirtualDeviceModel *currentNormal(const Slot &slot) const;
    void applyFault(Slot &slot, VirtualBootloader *bootloader);

    Scheduler &m_scheduler;
    QString m_folder;
    VirtualHidBus m_bus;
    LabFirmwareServer m_server;
    LabFirmwareServer m_betaServer;
    std::vector<DemoRelease> m_releases;
    std::vector<std::unique_ptr<Slot>> m_slots;
    Fault m_armedFault = Fault::None;
    int m_nextReleaseId = 1;
};

} // namespace flashwell::lab
