#include "LabUpdateDevices.h"

#include "VirtualClassicBootloader.h"
#include "VirtualDinputController.h"
#include "VirtualHjzBootloader.h"
#include "VirtualVela2Bootloader.h"
#include "VirtualVendorModeController.h"
#include "boot/HjzProtocol.h"
#include "boot/Vela2Protocol.h"
#include "device/UsbIdentities.h"
#include "platform/Bytes.h"
#include "platform/Scheduler.h"

#include <QFile>

namespace flashwell::lab {

namespace {
// How long the lab's "user" takes to re-plug a device shown the guide.
constexpr int64_t kUserUnplugMs = 1500;
constexpr int64_t kUserReplugMs = 500;
} // namespace

LabUpdateDevices::LabUpdateDevices(VirtualHidBus &bus, const LabUpdateOptions &options)
    : m_bus(bus)
    , m_options(options)
{
    setUpBootloader();
    setUpNormalDevice();
}

LabUpdateDevices::~LabUpdateDevices() = default;

HidIdentity LabUpdateDevices::bootIdentity() const
{
    switch (m_options.boot.bootloader) {
    case LabBootloader::Classic:
        return {m_options.boot.vid, m_options.boot.pid, QStringLiteral("Fenwyk Bootloader")};
    case LabBootloader::SecondGen:
        return {usb::kVendorId, m_options.boot.usbPid, QStringLiteral("Fenwyk Bootloader")};
    case LabBootloader::Hjz:
        break;
    }
    return {usb::kHjzBootloader.vendorId, usb::kHjzBootloader.productId, QStringLiteral("Fenwyk Bootloader")};
}

void LabUpdateDevices::setUpBootloader()
{
    const LabFlashOptions &b = m_options.boot;
    const HidIdentity normalIdentity{usb::kVendorId, m_options.pid, QStringLiteral("Fenwyk Controller")};
    switch (b.bootloader) {
    case LabBootloader::Classic:
        m_classicBoot = std::make_unique<VirtualClassicBootloader>(m_bus, b.pid, b.vid);
        m_classicBoot->info = {b.bootVersion, b.hwCode, b.fwType};
        m_classicBoot->normalIdentity = normalIdentity;
        m_classicBoot->dropReplyAt = b.dropReply;
        m_classicBoot->corruptWriteAt = b.corruptWrite;
        m_classicBoot->unplugAfter = b.unplugAfter;
        for (std::size_t i = 0; i < m_classicBoot->settings.size(); ++i)
            m_classicBoot->settings[i] = static_cast<uint8_t>(0xA0 + i);
        m_bootModel = m_classicBoot.get();
        break;
    case LabBootloader::SecondGen: {
        const uint16_t reported = m_options.reportedPidGiven ? b.reportedPid : m_options.pid;
        m_vela2Boot = std::make_unique<VirtualVela2Bootloader>(m_bus, reported, b.usbPid);
        vela2::GamepadInfo &info = m_vela2Boot->info;
        if (b.infoPid)
            info.setProductId(*b.infoPid);
        info.raw[vela2::GamepadInfo::kSubType] = b.subType;
        m_vela2Boot->useLabLayout();
        if (!vela2::isJLProductId(reported))
            m_vela2Boot->seedFlash(m_options.versionHundredths);
        m_vela2Boot->appZone = b.appZone;
        m_vela2Boot->eraseUnit = b.eraseUnit;
        m_vela2Boot->normalIdentity = normalIdentity;
        m_vela2Boot->dropReplyAt = b.dropReply;
        m_vela2Boot->corruptWriteAt = b.corruptWrite;
        m_vela2Boot->unplugAfter = b.unplugAfter;
        m_bootModel = m_vela2Boot.get();
        break;
    }
    case LabBootloader::Hjz: {
        const hjz::PageSettings geometry = hjz::settingsForDevice(b.devId.value_or(387)).value_or(hjz::PageSettings{});
        m_hjzBoot = std::make_unique<VirtualHjzBootloader>(m_bus, geometry.flashBase, 1024, geometry.packetsPerPage);
        m_hjzBoot->dropReplyAt = b.dropReply;
        m_hjzBoot->corruptWriteAt = b.corruptWrite;
        m_hjzBoot->unplugAfter = b.unplugAfter;
        m_bootModel = m_hjzBoot.get();
        break;
    }
    }
}

void LabUpdateDevices::fitHjzGeometry(const QString &firmwarePath)
{
    if (!m_hjzBoot)
        return;
    QFile file(firmwarePath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray header = file.read(hjz::kHeaderSize);
    if (header.size() < static_cast<qsizetype>(hjz::kHeaderSize))
        return;
    const auto bytes = bytesOf(header);
    const uint32_t deviceId = m_options.boot.devId.value_or(wire::le32(bytes, hjz::FileLayout::kDeviceId));
    const hjz::PageSettings geometry = hjz::settingsForDevice(deviceId).value_or(hjz::PageSettings{});
    m_hjzBoot->flashBase = geometry.flashBase;
    m_hjzBoot->packetsPerPage = geometry.packetsPerPage;
    if (const uint32_t size = wire::le32(bytes, hjz::FileLayout::kPageSize); size != 0)
        m_hjzBoot->pageSize = size;
}

void LabUpdateDevices::setUpNormalDevice()
{
    switch (m_options.identity) {
    case LabUpdateOptions::Identity::Dinput: {
        auto device = std::make_unique<VirtualDinputController>(m_bus, m_options.pid);
        device->versionHundredths = m_options.versionHundredths;
        device->beta = m_options.beta;
        m_normal = std::move(device);
        break;
    }
    case LabUpdateOptions::Identity::Switch:
    case LabUpdateOptions::Identity::Sony: {
        auto device = std::make_unique<VirtualVendorModeController>(
            m_bus,
            m_options.identity == LabUpdateOptions::Identity::Switch ? VirtualVendorModeController::Identity::Switch
                                                                     : VirtualVendorModeController::Identity::Sony,
            m_options.pid);
        device->versionHundredths = m_options.versionHundredths;
        device->beta = m_options.beta;
        m_normal = std::move(device);
        break;
    }
    }
    if (!m_options.bootloaderAttached)
        m_normal->setBootTarget(bootIdentity(), m_bootModel);
}

void LabUpdateDevices::plug()
{
    if (m_options.bootloaderAttached)
        m_bootModel->plug();
    m_normal->plug();
}

void LabUpdateDevices::replugAsUser(Scheduler &scheduler)
{
    scheduler.after(kUserUnplugMs, [this, &scheduler] {
        m_normal->unplug();
        scheduler.after(kUserReplugMs, [this] { m_bootModel->plug(); });
    });
}

} // namespace flashwell::lab
