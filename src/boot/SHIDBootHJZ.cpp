#include "boot/SHIDBootHJZ.h"

#include "boot/BootLogging.h"
#include "device/HidTransport.h"
#include "device/UsbIdentities.h"
#include "platform/ApplicationContext.h"
#include "platform/Bytes.h"

#include <algorithm>
#include <array>

namespace flashwell {

SHIDBootHJZ &SHIDBootHJZ::sharedInstance()
{
    return ApplicationContext::current().shared<SHIDBootHJZ>(
        [] { return std::make_unique<SHIDBootHJZ>(PlatformServices::shared()); });
}

SHIDBootHJZ::SHIDBootHJZ(PlatformServices services, QObject *parent)
    : SHIDManager(services, parent)
{}

SHIDBootHJZ::~SHIDBootHJZ() = default;

void SHIDBootHJZ::open()
{
    openWithMatching({usb::kHjzBootloader});
}

void SHIDBootHJZ::deviceMatched(HidDevice *device)
{
    m_device = device;
    openAndListen(device);
    m_bootDelegates.call(&SHIDBootHJZDelegate::SHIDBootHJZUpdate, this, makeRecord(device));
}

void SHIDBootHJZ::deviceRemoved(HidDevice *device)
{
    if (m_device.data() != device)
        return;
    m_device = nullptr;
    m_bootDelegates.call(&SHIDBootHJZDelegate::SHIDBootHJZRemoveDevice, this);
}

void SHIDBootHJZ::inputReport(HidDevice *sender, std::span<const uint8_t> report)
{
    Q_UNUSED(sender);
    Q_UNUSED(report);
    if (!m_pending.waiting())
        return;
    // Any report answers the pending request; handlers read the whole zero-filled buffer.
    m_pending.dispatch([this](const ReplyHandler &block) { readBlock(gpReportBufB, block); });
}

void SHIDBootHJZ::addBlock(ReplyHandler block, uint8_t cmd)
{
    m_pending.expect(cmd, std::move(block));
}

void SHIDBootHJZ::readBlock(std::span<const uint8_t> report, const ReplyHandler &block)
{
    if (block)
        block(report);
}

IOReturn SHIDBootHJZ::writeDataCMD(std::span<const uint8_t> packet, ReplyHandler block)
{
    addBlock(std::move(block), wire::u8(packet, 1));
    HidReport r{};
    std::copy_n(packet.begin(), std::min(packet.size(), r.size()), r.begin());
    return transport::chk_iohiddev(m_device.data(), r.data(), r.size());
}

QString SHIDBootHJZ::currentStep() const
{
    const auto command = m_pending.command();
    if (!command)
        return QStringLiteral("no request pending");
    const char *name = *command == hjz::kErasePage      ? "erase"
                       : *command == hjz::kEndPage      ? "end of page"
                       : *command == hjz::kPageChecksum ? "checksum"
                                                        : "data";
    return QStringLiteral("page %1: waiting for the %2 reply").arg(m_settings.currentPage).arg(QLatin1String(name));
}

void SHIDBootHJZ::fail(const QString &message)
{
    qCWarning(lcBoot).noquote() << "HJZ update:" << message;
    m_pending.clear();
    pfile.reset();
    m_bootDelegates.call(&SHIDBootHJZDelegate::SHIDBootHJZUpdateFail, this, message);
}

void SHIDBootHJZ::succeed()
{
    m_pending.clear();
    pfile.reset();
    m_bootDelegates.call(&SHIDBootHJZDelegate::SHIDBootHJZUpdateSuccess, this);
}

void SHIDBootHJZ::startUpdate()
{
    if (filePath.isEmpty() && !fileSource.hasBytes())
        return; // nothing to write
    auto file = fileSource.open(filePath, QIODevice::ReadOnly);
    if (!file->isOpen()) {
        fail(QStringLiteral("firmware file %1 cannot be read: %2").arg(filePath, file->errorString()));
        return;
    }
    const QByteArray header = file->read(hjz::kHeaderSize);
    QString whyNot;
    const auto layout = hjz::parseHeader(bytesOf(header), file->size(), whyNot);
    if (!layout) {
        fail(whyNot);
        return;
    }
    hjz::PageSettings settings = m_settings;
    const uint32_t deviceId = (cur_devId == 386 || cur_devId == 387) ? cur_devId : layout->deviceId;
    if (const auto chosen = hjz::settingsForDevice(deviceId))
        settings = *chosen;
    // Everything the pages will read is checked before the first erase.
    if (!hjz::fitsSettings(*layout, settings, file->size(), whyNot)) {
        fail(whyNot);
        return;
    }
    m_layout = *layout;
    m_settings = settings;
    pfile = std::move(file);
    m_pagesVerified = 0;
    m_bootDelegates.call(&SHIDBootHJZDelegate::SHIDBootHJZUpdateing, this, 0);
    EraseFlash();
}

bool SHIDBootHJZ::send_usb_packet_cut()
{
    for (uint32_t i = 0; i < m_settings.packetsPerPage; ++i) {
        if (!pfile || !pfile->seek(m_layout.packetAt(m_settings.currentPage, i)))
            return false;
        const QByteArray packet = pfile->read(hjz::kPacketSize);
        if (packet.size() != static_cast<qsizetype>(hjz::kPacketSize))
            return false;
        if (writeDataCMD(bytesOf(packet), [](std::span<const uint8_t>) {}) != kIOReturnSuccess)
            return false;
    }
    return true;
}

void SHIDBootHJZ::EraseFlash()
{
    const HidReport erase = hjz::commandPacket(hjz::kErasePage, pageAddress(m_settings.currentPage), true);
    writeDataCMD(erase, [this](std::span<const uint8_t>) { firstPageErased(); });
}

// The first page is written now and closed last, after every other page: only then is the
// image marked whole.
void SHIDBootHJZ::firstPageErased()
{
    if (!send_usb_packet_cut()) {
        fail(QStringLiteral("data of page %1 could not be sent").arg(m_settings.currentPage));
        return;
    }
    EraseFlashPage(0);
}

void SHIDBootHJZ::EraseFlashPage(int32_t page)
{
    auto number = static_cast<uint32_t>(page);
    if (number == m_settings.firstPage)
        number += 1; // written first, by EraseFlash
    m_pageNumber = number;
    m_settings.currentPage = number == m_layout.pageCount ? m_settings.firstPage : number;
    writeDataCMD(hjz::commandPacket(hjz::kErasePage, pageAddress(m_settings.currentPage)),
                 [this](std::span<const uint8_t>) { pageErased(); });
}

void SHIDBootHJZ::pageErased()
{
    if (!send_usb_packet_cut()) {
        fail(QStringLiteral("data of page %1 could not be sent").arg(m_settings.currentPage));
        return;
    }
    writeDataCMD(hjz::commandPacket(hjz::kEndPage, 0), [this](std::span<const uint8_t>) { pageEnded(); });
}

void SHIDBootHJZ::pageEnded()
{
    writeDataCMD(hjz::commandPacket(hjz::kPageChecksum, pageAddress(m_settings.currentPage)),
                 [this](std::span<const uint8_t> reply) { pageChecksumRead(reply); });
}

void SHIDBootHJZ::pageChecksumRead(std::span<const uint8_t> reply)
{
    const uint32_t page = m_settings.currentPage;
    std::array<char, 4> stored{};
    if (!pfile || !pfile->seek(m_layout.checksumAt(page)) || pfile->read(stored.data(), 4) != 4) {
        fail(QStringLiteral("checksum of page %1 could not be read from the file").arg(page));
        return;
    }
    const uint32_t expected = wire::le32(bytesOf(stored), 0);
    const uint32_t reported = wire::le32(reply, hjz::kChecksumAt);
    if (reported != expected) {
        fail(QStringLiteral("page %1 checksum 0x%2 does not match the file's 0x%3")
                 .arg(page)
                 .arg(reported, 8, 16, QLatin1Char('0'))
                 .arg(expected, 8, 16, QLatin1Char('0')));
        return;
    }
    // Every page is verified once (the first one last), so the count of verified pages is the progress.
    ++m_pagesVerified;
    const uint32_t pages = std::max<uint32_t>(m_layout.pageCount, 1);
    m_bootDelegates.call(&SHIDBootHJZDelegate::SHIDBootHJZUpdateing, this,
                         static_cast<int32_t>(std::min<uint32_t>(m_pagesVerified, pages) * 100 / pages));
    // The first page, written again after all others and verified, ends the update.
    if (m_pageNumber >= m_layout.pageCount) {
        succeed();
        return;
    }
    EraseFlashPage(static_cast<int32_t>(m_pageNumber + 1));
}

} // namespace flashwell
