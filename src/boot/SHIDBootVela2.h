#pragma once

#include "boot/ClassicFrames.h"
#include "boot/FirmwareSource.h"
#include "boot/PendingReply.h"
#include "boot/SHIDBootDelegate.h"
#include "boot/Vela2Protocol.h"
#include "device/SHIDManager.h"
#include "platform/WeakDelegateList.h"

#include <QIODevice>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace flashwell {

// The second-generation bootloader session (USB 0x3208 and 0x3002, VID 0x2DC8). Strictly one
// request at a time: every step sends one request packet and registers one reply handler, which
// sends the next step. The pending handler is the session's state.
class SHIDBootVela2 final : public SHIDManager
{
    Q_OBJECT
public:
    using ReplyHandler = PendingReply::Handler;

    static SHIDBootVela2 &sharedInstance();
    explicit SHIDBootVela2(PlatformServices services, QObject *parent = nullptr);
    ~SHIDBootVela2() override;

    void open() override;

    HidDevice *device() const { return m_device.data(); }
    // Every delegate hears every report, in list order (the update screen acts on them; the lab
    // prints them first).
    void addBootDelegate(SHIDBootDelegate *delegate, DelegateOrder order = DelegateOrder::AfterOthers)
    {
        m_bootDelegates.add(delegate, order);
    }
    void removeBootDelegate(SHIDBootDelegate *delegate) { m_bootDelegates.remove(delegate); }

    QString filePath;
    // Holds the firmware in memory in place of the file at filePath, when given bytes.
    FirmwareSource fileSource;
    int32_t bootType = 0;
    uint32_t bootType_PID = 0;
    uint32_t appZoneAddr = 0;
    uint32_t offset = 0;

    // Starts an update of `filePath` (or identification only, without one) on the device present:
    // the one step the screens call; every later step is sent by the reply to the one before.
    void readPID();
    // Sends one request and waits for its reply (the dispatch's primitive, open to tests).
    void BootReadFlash(std::span<const uint8_t> data, uint32_t len, uint32_t address, uint32_t totalLen, int32_t cmd,
                       ReplyHandler block);

    // Held image state, for the steps and for tests.
    const vela2::GamepadInfo &gamepadInfo() const { return m_info; }
    const classic::FirmwareHeader &mainHeader() const { return m_mainHeader; }
    uint32_t mainLength() const { return m_mainLength; }
    uint32_t radioLength() const { return m_radioHeader.length(); }
    const std::array<uint8_t, vela2::kBootSerialSize> &bootSerial() const { return m_bootSerial; }
    // 0..100 over both images.
    int32_t progress() const;
    // A request is out and its reply awaited: the session is talking to the device.
    bool busy() const { return m_pending.waiting() && !m_device.isNull(); }
    // Stops an update where it stands: a late reply finds nothing to continue.
    void abandon()
    {
        m_pending.clear();
        pfile.reset();
        m_radioFile.reset();
        ++m_run;
    }
    // The step the session is in, for messages: the request whose reply it waits for.
    QString currentStep() const;

protected:
    void deviceMatched(HidDevice *device) override;
    void deviceRemoved(HidDevice *device) override;
    void inputReport(HidDevice *sender, std::span<const uint8_t> report) override;

private:
    // The steps; each one is sent by the reply to the one before.
    // --- packets and reply dispatch ---
    void Generate_bootCmdPacket(std::span<const uint8_t> data, uint32_t len, uint32_t address, uint32_t totalLen,
                                int32_t cmd, uint16_t params);
    void addBlock(ReplyHandler block, uint8_t cmd);
    static void readReadFlash(std::span<const uint8_t> report, int32_t cmd, const ReplyHandler &block);
    static bool isSummitWired(uint32_t pid) { return vela2::isSummitWired(pid); }

    // --- identification ---
    void readGamepadInfo(bool continueWithBootSerial);
    void readBoot_Serial();
    void getVela2Version();
    void resetGamepad();

    // --- image check and verification ---
    // True when `pfile` stands at the main image's payload (and `m_radioFile` at the radio one's,
    // when the file has one); false after reporting why. The records are found by
    // vela2::locateImages.
    bool imageCheck();
    bool Flash_CRC(int32_t crcIndex_i, int32_t half);
    void flashCRC();
    void writeSave_Head_4K();

    // --- JL-chip path ---
    void updateJL(uint32_t reportedPid);
    void eraseFlashJL_eraseUnitSize(uint32_t address, uint32_t eraseUnit, uint32_t blockCount);
    void eraseFlashJL_len_TotalEraseLen(uint32_t address, uint32_t length, uint32_t endAddress);
    void writeFirmwareJL();

    // --- erase, write and finish ---
    void earseFlash();
    void earseFlashVela2Version();
    void writeFirmware();
    void earseFlashBLE();
    void writeFirmwareBLE();
    void writeBleMarker();
    void setBleVersion();
    void setVela2Version();

    bool checksummed() const;
    vela2::BootTypeTraits traits() const { return vela2::traitsOf(bootType); }
    vela2::AddressPlan plan() const { return vela2::addressPlan(bootType, m_info); }
    void fail(const QString &message);
    void closingStep();
    // Progress callbacks sent before every main-image chunk (and once when it is complete).
    void reportMainProgress();
    // Reads and sends the next main-image chunk at `base` + offset; `next` runs on its reply.
    void sendMainChunk(uint32_t base, std::function<void()> next);
    // Reads the next chunk of an image; reports and returns empty when the file ran out early.
    // Up to `wanted` bytes (at most one request's data) of the image into `chunk`; their count, or
    // 0 once the update has failed because the file ended.
    std::size_t readChunk(QIODevice &file, std::size_t wanted, const char *image,
                          std::array<uint8_t, vela2::kMaxData> &chunk);

    WeakDelegateList<SHIDBootDelegate> m_bootDelegates;
    HidDeviceRef m_device;
    PendingReply m_pending;

    vela2::GamepadInfo m_info;
    std::array<uint8_t, vela2::kBootSerialSize> m_bootSerial{};
    int m_infoRequests = 0;
    // Counts identifications and abandons, so that a delayed step of an abandoned one stays quiet.
    uint64_t m_run = 0;

    std::unique_ptr<QIODevice> pfile;
    classic::FirmwareHeader m_mainHeader;
    uint32_t m_mainVersionWord = 0;
    uint32_t m_mainAddress = 0;
    uint32_t m_mainLength = 0;
    uint32_t m_mainPid = 0;
    qint64 m_mainPayloadAt = 0; // file position of the main image's first payload byte
    uint32_t m_bytesWritten = 0;
    classic::FirmwareHeader m_radioHeader;
    std::unique_ptr<QIODevice> m_radioFile;
    // The main image as the chunk verification reads it back: opened once for the whole pass, and
    // the chunk of the last index read kept for its second half.
    std::unique_ptr<QIODevice> m_verifyFile;
    int32_t m_verifyChunkIndex = -1;
    std::vector<uint8_t> m_verifyChunk;
    uint32_t m_lastChunkIndex = 0;
};

} // namespace flashwell
