#include "demo/DemoLab.h"

#include "boot/HjzProtocol.h"
#include "boot/Vela2Protocol.h"
#include "device/FirmwareVersion.h"
#include "device/SFenwykDeviceDetailsTools.h"
#include "device/UsbIdentities.h"
#include "models/FirmwareFileBuilder.h"
#include "models/VirtualDinputController.h"
#include "models/VirtualVela2Bootloader.h"
#include "models/VirtualVendorModeController.h"
#include "platform/Scheduler.h"
#include "runs/BootloaderFactory.h"

#include <QDir>
#include <QJsonObject>
#include <QSet>

namespace flashwell::lab {

namespace {

constexpr uint16_t kVendor = usb::kVendorId;
constexpr uint32_t kClassicAddress = 0x08004000;
constexpr uint32_t kHjzDeviceId = 387;
constexpr uint32_t kHjzPageSize = 1024;
// The demo devices' own releases are large enough that writing them takes a few seconds at the
// bus's round trip, so the progress is worth watching; the other products' releases stay small.
constexpr int kDemoImageSize = 48 * 1024;
constexpr int kOtherImageSize = 8 * 1024;
constexpr int64_t kReplugDelayMs = 300;

} // namespace

LabBootloader demoBootloaderFor(const SFenwykDataDetails &entry)
{
    if (entry.pid == 0x23FB)
        return LabBootloader::Hjz;
    if (vela2::bootTypeForPid(entry.pid))
        return LabBootloader::SecondGen;
    return LabBootloader::Classic;
}

// One demo device: its normal-mode model and every bootloader model it has run (a bootloader
// model serves one update; each later update gets a fresh one, reached from the normal-mode
// model that the previous one came back as).
struct DemoLab::Slot
{
    QString name;
    int type = 0;
    uint16_t pid = 0;
    LabBootloader bootloader = LabBootloader::Classic;
    HidIdentity normalIdentity;
    HidIdentity bootIdentity;
    std::unique_ptr<VirtualDeviceModel> normal;
    std::vector<std::unique_ptr<VirtualBootloader>> bootloaders;
    VirtualBootloader *lastUsed = nullptr;
    QSet<VirtualDeviceModel *> wired;
};

DemoLab::DemoLab(Scheduler &scheduler, QString folder, QObject *parent)
    : QObject(parent)
    , m_scheduler(scheduler)
    , m_folder(std::move(folder))
    , m_bus(scheduler)
{
    m_bus.setLatencyMs(kLatencyMs);
    connect(&m_bus, &HidBackend::deviceArrived, this, &DemoLab::onArrived);
    // The bus says a device leaves before it is gone: what is plugged reads right a turn later.
    connect(&m_bus, &HidBackend::deviceRemoved, this, [this] {
        m_scheduler.after(
            0, [this] { Q_EMIT changed(); }, this);
    });

    struct Plan
    {
        uint16_t pid;
        LabBootloader bootloader;
        bool switchMode;
    };
    // One device per bootloader family, and one that arrives in Switch mode.
    const Plan plans[] = {
        {0x3112, LabBootloader::Classic, false},
        {0x9025, LabBootloader::SecondGen, false},
        {0x23FB, LabBootloader::Hjz, false},
        {0x3101, LabBootloader::Classic, true},
    };
    for (const Plan &p : plans) {
        auto slot = std::make_unique<Slot>();
        slot->pid = p.pid;
        slot->bootloader = p.bootloader;
        for (const SFenwykDataDetailsPtr &e : SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs()) {
            if (e->pid == p.pid) {
                slot->name = e->storedName();
                slot->type = e->type;
                break;
            }
        }
        if (slot->name.isEmpty())
            slot->name = QStringLiteral("Fenwyk 0x%1").arg(p.pid, 4, 16, QLatin1Char('0'));
        slot->normalIdentity = HidIdentity{kVendor, p.pid, slot->name};
        if (p.switchMode) {
            auto vendor = std::make_unique<VirtualVendorModeController>(
                m_bus, VirtualVendorModeController::Identity::Switch, p.pid);
            vendor->versionHundredths = kDeviceVersion;
            slot->normal = std::move(vendor);
            slot->name += QStringLiteral(" (Switch mode)");
        } else {
            auto dinput = std::make_unique<VirtualDinputController>(m_bus, p.pid, kVendor, slot->name);
            dinput->versionHundredths = kDeviceVersion;
            slot->normal = std::move(dinput);
        }
        slot->normal->setReenumerateDelayMs(kReplugDelayMs);
        VirtualBootloader *boot = freshBootloader(*slot);
        slot->bootIdentity = boot->identity();
        slot->normal->setBootTarget(slot->bootIdentity, boot);
        m_slots.push_back(std::move(slot));
    }
}

DemoLab::~DemoLab()
{
    disconnect(&m_bus, nullptr, this, nullptr);
    // Bootloaders own the normal-mode models they came back as; unplug everything first.
    for (auto &slot : m_slots) {
        for (auto &b : slot->bootloaders)
            b->unplug();
        slot->normal->unplug();
    }
}

VirtualBootloader *DemoLab::freshBootloader(Slot &slot)
{
    LabFlashOptions options;
    options.bootloader = slot.bootloader;
    options.reportedPid = slot.pid;
    options.devId = kHjzDeviceId;
    std::unique_ptr<VirtualBootloader> model = makeBootloader(m_bus, options, {slot.normalIdentity, kDeviceVersion});
    model->setReenumerateDelayMs(kReplugDelayMs);
    slot.bootloaders.push_back(std::move(model));
    return slot.bootloaders.back().get();
}

VirtualDeviceModel *DemoLab::currentNormal(const Slot &slot) const
{
    // The newest bootloader first: it is the one whose device is on the bus now.
    for (std::size_t i = slot.bootloaders.size(); i-- > 0;)
        if (VirtualDeviceModel *back = slot.bootloaders[i]->normalMode())
            return back;
    return slot.normal.get();
}

DemoRelease DemoLab::buildRelease(const SFenwykDataDetails &entry, uint16_t version, uint16_t beta, int size) const
{
    DemoRelease r;
    r.type = entry.type;
    r.versionHundredths = version;
    r.beta = beta;
    r.bootloader = demoBootloaderFor(entry);
    r.payload = patternBytes(size, static_cast<uint32_t>(entry.type * 1000 + version + beta));
    switch (r.bootloader) {
    case LabBootloader::Classic: {
        ClassicFirmware f;
        f.version = version;
        f.beta = beta;
        f.address = kClassicAddress;
        f.data = r.payload;
        r.file = f.build();
        r.flashAddress = kClassicAddress;
        r.flashImage = r.payload;
        break;
    }
    case LabBootloader::SecondGen: {
        vela2::GamepadInfo info;
        info.setProductId(entry.pid);
        VirtualVela2Bootloader::putLabInfoAddresses(info);
        const int32_t bootType = vela2::bootTypeForPid(entry.pid).value_or(0);
        const uint32_t address = vela2::addressPlan(bootType, info).mainImage.value_or(kClassicAddress);
        r.file = buildVela2File({Vela2Record(version, beta, address, entry.pid, r.payload)});
        r.flashAddress = address;
        r.flashImage = r.payload;
        break;
    }
    case LabBootloader::Hjz: {
        HjzFirmware f;
        f.deviceId = kHjzDeviceId;
        f.pageSize = kHjzPageSize;
        f.data = r.payload;
        r.file = f.build();
        const hjz::PageSettings geometry = hjz::settingsForDevice(kHjzDeviceId).value_or(hjz::PageSettings{});
        r.flashAddress = geometry.flashBase + kHjzPageSize * geometry.firstPage;
        r.flashImage = r.payload.mid(static_cast<qsizetype>(kHjzPageSize) * geometry.firstPage);
        break;
    }
    }
    return r;
}

void DemoLab::publish(const SFenwykDataDetails &entry, DemoRelease release, const QString &date)
{
    const uint16_t v = release.versionHundredths;
    const uint16_t beta = release.beta;
    const QString model = entry.storedName().section(QLatin1Char(' '), 1).replace(QLatin1Char(' '), QLatin1Char('_'));
    const QString version = firmware_version::fromHundredths(v);
    QJsonObject json{
        {QStringLiteral("id"), m_nextReleaseId++},
        {QStringLiteral("type"), entry.type},
        {QStringLiteral("version"), v / 100.0},
        {QStringLiteral("beta"), beta},
        {QStringLiteral("date"), date},
        {QStringLiteral("fileName"), QStringLiteral("%1_V%2%3.bin")
                                         .arg(model.isEmpty() ? QStringLiteral("Fenwyk") : model, version,
                                              beta ? QStringLiteral("_beta%1").arg(beta) : QString())},
        {QStringLiteral("readme"),
         beta ? QStringLiteral("V%1 测试版 %2：试用新的摇杆曲线。\n可能仍有问题。").arg(version).arg(beta)
         : v == kNewerVersion ? QStringLiteral("V%1：改进无线连接稳定性。\n修复按键偶尔失灵。").arg(version)
                              : QStringLiteral("V%1：首个正式版本。").arg(version)},
        {QStringLiteral("readme_en"),
         beta ? QStringLiteral("V%1 beta %2: tries out a new stick curve.\nMay still have rough edges.")
                    .arg(version)
                    .arg(beta)
         : v == kNewerVersion
             ? QStringLiteral("V%1: steadier wireless connection.\nFixes a button that sometimes stuck.").arg(version)
             : QStringLiteral("V%1: first release.").arg(version)},
    };
    // Release builds are on both servers; the beta build only where beta builds are asked for.
    if (beta == 0)
        m_server.addRelease(json, release.file);
    m_betaServer.addRelease(json, release.file);
    m_releases.push_back(std::move(release));
}

void DemoLab::buildReleases()
{
    QSet<int> types;
    for (const SFenwykDataDetailsPtr &entry : SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs()) {
        if (types.contains(entry->type))
            continue;
        types.insert(entry->type);
        bool demoDevice = false;
        for (const auto &slot : m_slots)
            demoDevice = demoDevice || slot->type == entry->type;
        const int size = demoDevice ? kDemoImageSize : kOtherImageSize;
        struct Version
        {
            uint16_t version;
            uint16_t beta;
            QString date;
        };
        const Version versions[] = {{kDeviceVersion, 0, QStringLiteral("2026-06-15")},
                                    {kNewerVersion, 0, QStringLiteral("2026-10-20")},
                                    {kBetaVersion, kBetaNumber, QStringLiteral("2026-11-30")}};
        for (const Version &v : versions)
            publish(*entry, buildRelease(*entry, v.version, v.beta, size), v.date);
    }
}

const DemoRelease *DemoLab::addRelease(int index, uint16_t versionHundredths, int imageSize)
{
    if (index < 0 || index >= deviceCount())
        return nullptr;
    for (const SFenwykDataDetailsPtr &entry : SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs()) {
        if (entry->pid != m_slots[index]->pid)
            continue;
        publish(*entry, buildRelease(*entry, versionHundredths, 0, imageSize), QStringLiteral("2026-12-08"));
        return &m_releases.back();
    }
    return nullptr;
}

bool DemoLab::start(QString *error)
{
    if (!QDir().mkpath(m_folder + QStringLiteral("/Downloads"))) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(m_folder);
        return false;
    }
    if (!m_server.listen() || !m_betaServer.listen()) {
        if (error)
            *error = QStringLiteral("cannot listen on 127.0.0.1");
        return false;
    }
    buildReleases();
    return true;
}

ServerConfig DemoLab::serverConfig() const
{
    ServerConfig c;
    c.primary = m_server.baseUrl();
    c.china = m_server.baseUrl();
    c.beta = m_betaServer.baseUrl();
    c.ipEchoPage1 = m_server.baseUrl().resolved(QUrl(QStringLiteral("ip")));
    c.ipEchoPage2 = m_server.baseUrl().resolved(QUrl(QStringLiteral("ip2")));
    c.downloadsRoot = m_folder + QStringLiteral("/Downloads");
    return c;
}

QString DemoLab::settingsFile() const
{
    return m_folder + QStringLiteral("/settings.ini");
}

const DemoRelease *DemoLab::release(int type, uint16_t versionHundredths, uint16_t beta) const
{
    for (const DemoRelease &r : m_releases)
        if (r.type == type && r.versionHundredths == versionHundredths && r.beta == beta)
            return &r;
    return nullptr;
}

int DemoLab::deviceCount() const
{
    return static_cast<int>(m_slots.size());
}

QString DemoLab::deviceName(int index) const
{
    return index >= 0 && index < deviceCount() ? m_slots[index]->name : QString();
}

int DemoLab::deviceType(int index) const
{
    return index >= 0 && index < deviceCount() ? m_slots[index]->type : 0;
}

LabBootloader DemoLab::deviceBootloader(int index) const
{
    return index >= 0 && index < deviceCount() ? m_slots[index]->bootloader : LabBootloader::Classic;
}

bool DemoLab::isInBootloader(int index) const
{
    if (index < 0 || index >= deviceCount())
        return false;
    for (const auto &b : m_slots[index]->bootloaders)
        if (b->device())
            return true;
    return false;
}

bool DemoLab::isPlugged(int index) const
{
    if (index < 0 || index >= deviceCount())
        return false;
    const Slot &slot = *m_slots[index];
    return isInBootloader(index) || slot.normal->device() || currentNormal(slot)->device();
}

void DemoLab::plug(int index)
{
    if (index < 0 || index >= deviceCount() || isPlugged(index))
        return;
    currentNormal(*m_slots[index])->plug();
}

void DemoLab::unplug(int index)
{
    if (index < 0 || index >= deviceCount())
        return;
    Slot &slot = *m_slots[index];
    for (auto &b : slot.bootloaders)
        b->unplug();
    currentNormal(slot)->unplug();
    slot.normal->unplug();
}

void DemoLab::plugInBootloader(int index)
{
    if (index < 0 || index >= deviceCount())
        return;
    unplug(index);
    Slot &slot = *m_slots[index];
    VirtualBootloader *boot = freshBootloader(slot);
    currentNormal(slot)->setBootTarget(slot.bootIdentity, boot);
    slot.wired.insert(currentNormal(slot));
    // Comes back after the time a real device takes to re-enumerate.
    m_scheduler.after(
        kReplugDelayMs, [boot] { boot->plug(); }, this);
}

void DemoLab::plugAll()
{
    for (int i = 0; i < deviceCount(); ++i)
        plug(i);
}

const FlashMemory *DemoLab::flash(int index) const
{
    if (index < 0 || index >= deviceCount() || !m_slots[index]->lastUsed)
        return nullptr;
    return &m_slots[index]->lastUsed->flash();
}

void DemoLab::applyFault(Slot &slot, VirtualBootloader *bootloader)
{
    if (m_armedFault == Fault::None)
        return;
    // Half-way through writing the image: the requests before the data are few, so half the
    // data requests is a point well inside the writing phase.
    int at = 0;
    switch (slot.bootloader) {
    case LabBootloader::Classic:
        at = kDemoImageSize / 32 / 2;
        break;
    case LabBootloader::SecondGen:
        at = kDemoImageSize / 46 / 2;
        break;
    case LabBootloader::Hjz:
        at = static_cast<int>(kDemoImageSize / kHjzPageSize) * 3 / 2;
        break;
    }
    BootFaultPlan &plan = bootloader->faults;
    plan = BootFaultPlan{};
    if (m_armedFault == Fault::UnplugWhileWriting)
        plan.unplugAfter = at;
    else
        plan.dropReplyAt = at;
    m_armedFault = Fault::None;
}

void DemoLab::onArrived(HidDevice *device)
{
    // The model learns its handle only when the bus's plug call returns; look at it a turn later.
    m_scheduler.after(
        0, [this, ref = HidDeviceRef(device)] { identifyArrival(ref.data()); }, this);
}

void DemoLab::identifyArrival(HidDevice *device)
{
    if (!device)
        return;
    for (auto &slotPtr : m_slots) {
        Slot &slot = *slotPtr;
        for (auto &b : slot.bootloaders) {
            if (b->device() == device) {
                slot.lastUsed = b.get();
                applyFault(slot, b.get());
            }
        }
        // A device back from an update gets a fresh bootloader for its next one.
        VirtualDeviceModel *normal = currentNormal(slot);
        if (normal->device() == device && normal != slot.normal.get() && !slot.wired.contains(normal)) {
            slot.wired.insert(normal);
            normal->setReenumerateDelayMs(kReplugDelayMs);
            normal->setBootTarget(slot.bootIdentity, freshBootloader(slot));
        }
    }
    Q_EMIT changed();
}

} // namespace flashwell::lab
