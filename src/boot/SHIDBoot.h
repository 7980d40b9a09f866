#pragma once

#include "boot/ClassicFrames.h"
#include "boot/FirmwareSource.h"
#include "boot/SHIDBootDelegate.h"
#include "device/SHIDManager.h"
#include "platform/WeakDelegateList.h"

#include <QIODevice>
#include <QString>

#include <array>
#include <memory>
#include <optional>

namespace flashwell {

// The classic bootloader session. Driven entirely by the device's frames: the status 4 reply to
// the update screen's version query, the device info frame, then one acknowledgement per
// command. It never waits except for the one-second receiver settings read.
class SHIDBoot final : public SHIDManager
{
    Q_OBJECT
public:
    enum SessionState : int32_t {
        Ended = 0, // an update ended with an error; acknowledgements are ignored until the next one
        HeaderSent = 1,
        SendingData = 2,
        AllDataSent = 3,
        SettingsStep = 4, // the receiver settings step runs; acknowledgements are ignored
        Finished = 5,     // the finish command went out; acknowledgements are ignored
    };

    explicit SHIDBoot(PlatformServices services = PlatformServices::shared(), QObject *parent = nullptr);
    ~SHIDBoot() override;

    void open() override;

    // Every delegate hears every report, in list order (the update screen acts on them; the lab
    // prints them first).
    void addBootDelegate(SHIDBootDelegate *delegate, DelegateOrder order = DelegateOrder::AfterOthers)
    {
        m_bootDelegates.add(delegate, order);
    }
    void removeBootDelegate(SHIDBootDelegate *delegate) { m_bootDelegates.remove(delegate); }
    // A second slot the session never sends to.
    SHIDBootDelegate *addDelegate() const { return m_addDelegate.get(); }
    void setAddDelegate(SHIDBootDelegate *delegate) { m_addDelegate.set(delegate); }

    QString filePath;
    // Holds the firmware in memory in place of the file at filePath, when given bytes.
    FirmwareSource fileSource;
    bool isUSBRR_PS_classic = false;
    int32_t lastProgress = 0;

    int32_t sessionState() const { return m_state; }
    // Writing: a header, data or the receiver settings are on their way to the device.
    bool busy() const { return m_state == HeaderSent || m_state == SendingData || m_state == SettingsStep; }
    // Stops an update where it stands: nothing more is sent until the next device info frame.
    void abandon();
    uint32_t bytesSent() const { return m_bytesSent; }
    // The step the session is in, for messages: what it waits for from the device.
    QString currentStep() const;
    const classic::DeviceInfo &deviceInfo() const { return m_info; }

protected:
    void deviceMatched(HidDevice *device) override;
    void deviceRemoved(HidDevice *device) override;
    void inputReport(HidDevice *sender, std::span<const uint8_t> report) override;

private:
    void handleStatus(HidDevice *device, const classic::StatusFrame &frame);
    void handleDeviceInfo(HidDevice *device, const classic::DeviceInfo &info);
    bool sendHeader(HidDevice *device);
    void handleAcknowledge(HidDevice *device);
    // Reads the next piece and sends it; false (after reporting) when the file ran out early.
    bool sendNextPiece(HidDevice *device);
    void finish(HidDevice *device);
    void fail(const QString &message);

    void startReceiverSettings(HidDevice *device);
    void readReceiverSettings(std::span<const uint8_t> report);
    void writeReceiverSettings();

    WeakDelegateList<SHIDBootDelegate> m_bootDelegates;
    WeakDelegate<SHIDBootDelegate> m_addDelegate;

    int32_t m_state = AllDataSent;
    bool m_versionSeen = false;
    classic::FirmwareHeader m_header;
    uint32_t m_totalLength = 0;
    uint32_t m_bytesSent = 0;
    std::unique_ptr<QIODevice> m_stream;
    classic::DeviceInfo m_info;

    std::array<uint8_t, classic::kSettingsSize> m_settings{};
    std::size_t m_settingsReceived = 0;
    bool m_settingsReading = false;
    HidDeviceRef m_settingsDevice;
};

} // namespace flashwell
