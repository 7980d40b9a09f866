#pragma once

#include "boot/FirmwareSource.h"
#include "boot/HjzProtocol.h"
#include "boot/PendingReply.h"
#include "boot/SHIDBootHJZDelegate.h"
#include "device/SHIDManager.h"
#include "platform/WeakDelegateList.h"

#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace flashwell {

// The HJZ bootloader session (USB 0x3209, VID 0x2DC8): flash is written page by page, each page
// erased, streamed as raw 64-byte packets, closed with 0xE4 and checked against the file's page
// checksum table. One request at a time; the pending reply handler is the state.
class SHIDBootHJZ final : public SHIDManager
{
    Q_OBJECT
public:
    using ReplyHandler = PendingReply::Handler;

    static SHIDBootHJZ &sharedInstance();
    explicit SHIDBootHJZ(PlatformServices services, QObject *parent = nullptr);
    ~SHIDBootHJZ() override;

    void open() override;

    HidDevice *device() const { return m_device.data(); }
    // Every delegate hears every report, in list order (the update screen acts on them; the lab
    // prints them first).
    void addBootDelegate(SHIDBootHJZDelegate *delegate, DelegateOrder order = DelegateOrder::AfterOthers)
    {
        m_bootDelegates.add(delegate, order);
    }
    void removeBootDelegate(SHIDBootHJZDelegate *delegate) { m_bootDelegates.remove(delegate); }

    uint32_t cur_devId = 0;
    QString filePath;
    // Holds the firmware in memory in place of the file at filePath, when given bytes.
    FirmwareSource fileSource;

    void readVersion() {}
    void startUpdate();

    const hjz::PageSettings &pageSettings() const { return m_settings; }
    // A request is out and its reply awaited: the session is talking to the device.
    bool busy() const { return m_pending.waiting() && !m_device.isNull(); }
    // Stops an update where it stands: a late reply finds nothing to continue.
    void abandon()
    {
        m_pending.clear();
        pfile.reset();
    }
    // The step the session is in, for messages: the page and the request whose reply it waits for.
    QString currentStep() const;
    const hjz::FileLayout &layout() const { return m_layout; }

protected:
    void deviceMatched(HidDevice *device) override;
    void deviceRemoved(HidDevice *device) override;
    void inputReport(HidDevice *sender, std::span<const uint8_t> report) override;

private:
    IOReturn writeDataCMD(std::span<const uint8_t> packet, ReplyHandler block);
    void addBlock(ReplyHandler block, uint8_t cmd);
    static void readBlock(std::span<const uint8_t> report, const ReplyHandler &block);
    bool send_usb_packet_cut();

    // The page loop, in the order the device sees it: the first page is erased and written,
    // then every other page is erased, written, ended and checked, and the first page last.
    void EraseFlash();
    void firstPageErased();
    void EraseFlashPage(int32_t page);
    void pageErased();
    void pageEnded();
    void pageChecksumRead(std::span<const uint8_t> reply);

    uint32_t pageAddress(uint32_t page) const { return m_settings.flashBase + m_layout.pageSize * page; }
    void fail(const QString &message);
    void succeed();

    WeakDelegateList<SHIDBootHJZDelegate> m_bootDelegates;
    HidDeviceRef m_device;
    PendingReply m_pending;
    std::unique_ptr<QIODevice> pfile;
    hjz::FileLayout m_layout;
    hjz::PageSettings m_settings; // kept between updates, as the bootloader's geometry
    uint32_t m_pageNumber = 0;
    uint32_t m_pagesVerified = 0; // of this update, for its progress
};

} // namespace flashwell
