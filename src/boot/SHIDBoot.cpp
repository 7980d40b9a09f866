#include "boot/SHIDBoot.h"

#include "boot/BootLogging.h"
#include "boot/Crc.h"
#include "device/HidTransport.h"
#include "device/UsbIdentities.h"
#include "platform/Bytes.h"
#include "platform/Scheduler.h"

#include <algorithm>
#include <array>

namespace flashwell {

namespace {
constexpr int64_t kSettingsWaitMs = 1000;
constexpr std::size_t kSettingsCrcAt = 38;
constexpr std::size_t kSettingsFlagAt = 6;
constexpr uint8_t kSettingsFlag = 0x04;

bool isPrefixFramed(const HidDevice *device)
{
    return transport::identityOf(device).prefixFramed();
}
} // namespace

SHIDBoot::SHIDBoot(PlatformServices services, QObject *parent)
    : SHIDManager(services, parent)
{}

SHIDBoot::~SHIDBoot() = default;

void SHIDBoot::open()
{
    openWithMatching(usb::matching(usb::kClassicBootloaders));
}

void SHIDBoot::deviceMatched(HidDevice *device)
{
    const SFenwykDevicePtr record = makeRecord(device);
    m_devices.append(record);
    openAndListen(device);
    m_bootDelegates.call(&SHIDBootDelegate::SHIDBootAddDevice, record, this);
}

void SHIDBoot::deviceRemoved(HidDevice *device)
{
    Q_UNUSED(device);
    m_bootDelegates.call(&SHIDBootDelegate::SHIDBootRemoveDevice, nullptr, this);
}

void SHIDBoot::inputReport(HidDevice *sender, std::span<const uint8_t> report)
{
    const std::size_t shift = isPrefixFramed(sender) ? 1 : 0;
    if (const auto status = classic::parseStatusFrame(report, shift))
        handleStatus(sender, *status);
    else if (const auto info = classic::parseDeviceInfo(report, shift))
        handleDeviceInfo(sender, *info);
    if (m_settingsReading)
        readReceiverSettings(report);
}

QString SHIDBoot::currentStep() const
{
    switch (m_state) {
    case Ended:
        return QStringLiteral("no step: the update ended");
    case HeaderSent:
        return QStringLiteral("waiting for the header's acknowledgement");
    case SendingData:
        return QStringLiteral("waiting for a data acknowledgement (%1 of %2 bytes sent)")
            .arg(m_bytesSent)
            .arg(m_totalLength);
    case SettingsStep:
        return QStringLiteral("reading the receiver settings");
    case Finished:
        return QStringLiteral("no step: the finish command went out");
    default:
        break;
    }
    if (m_totalLength != 0 && m_bytesSent >= m_totalLength)
        return QStringLiteral("waiting for the last data acknowledgement");
    return m_versionSeen ? QStringLiteral("waiting for the device info frame")
                         : QStringLiteral("waiting for the version reply");
}

void SHIDBoot::handleStatus(HidDevice *device, const classic::StatusFrame &frame)
{
    if (frame.status == classic::kStatusVersion) {
        auto record = std::make_shared<SFenwykDevice>();
        record->deviceRef = device;
        m_versionSeen = true;
        record->setVersion(static_cast<float>(frame.version) / 100.0f);
        if (frame.beta != 0)
            record->beta = frame.beta;
        m_bootDelegates.call(&SHIDBootDelegate::SHIDBootGetVersion, record, this);
        transport::sendShortFrame(device, transport::kGuard, classic::kInfoRequestKind, 0);
    } else if (frame.status == classic::kStatusAcknowledge) {
        handleAcknowledge(device);
    }
}

void SHIDBoot::handleDeviceInfo(HidDevice *device, const classic::DeviceInfo &info)
{
    m_info = info;
    m_bootDelegates.call(&SHIDBootDelegate::SHIDBootGetFirmwaerType, info.firmwareType, this);
    // The 0x81-framed receiver flashes every file as type 200.
    const uint8_t type = isPrefixFramed(device) ? 200 : info.firmwareType;
    if (type != 1 && type != 200)
        return;
    sendHeader(device);
}

bool SHIDBoot::sendHeader(HidDevice *device)
{
    // No file: the screen only asked for the version (nothing is being updated); stay quiet.
    if (filePath.isNull() && !fileSource.hasBytes())
        return false;
    const auto opened = fileSource.open(filePath, QIODevice::ReadOnly);
    QIODevice &file = *opened;
    if (!file.isOpen()) {
        fail(QStringLiteral("firmware file %1 cannot be read: %2").arg(filePath, file.errorString()));
        return false;
    }
    const QByteArray head = file.read(classic::kHeaderSize);
    const auto header = classic::FirmwareHeader::parse(bytesOf(head));
    if (!header) {
        fail(QStringLiteral("firmware file header is %1 bytes, needs %2").arg(head.size()).arg(classic::kHeaderSize));
        return false;
    }
    m_header = *header;
    m_totalLength = m_header.totalLength();
    m_bytesSent = 0;
    // A file shorter than its header says is refused before anything is written.
    const qint64 available = file.size() - static_cast<qint64>(classic::kHeaderSize);
    if (available < static_cast<qint64>(m_totalLength)) {
        fail(QStringLiteral("firmware file holds %1 data bytes, its header says %2").arg(available).arg(m_totalLength));
        return false;
    }
    if (m_info.bootloaderVersion == 0x0105
        && !classic::isSupportedByBootloader0105(m_info.hardwareCode, m_header.version(), m_header.beta())) {
        m_bootDelegates.call(&SHIDBootDelegate::SHIDBootNotSupportFirmware, nullptr);
        return false;
    }
    file.close();
    m_state = HeaderSent;
    const auto wireHeader = m_header.forWire(isPrefixFramed(device));
    transport::sendFramedPacket(device, transport::kGuard, classic::kCommandHeader, wireHeader);
    return true;
}

void SHIDBoot::handleAcknowledge(HidDevice *device)
{
    switch (m_state) {
    case HeaderSent: {
        m_stream = fileSource.open(filePath, QIODevice::ReadOnly);
        if (!m_stream->isOpen()) {
            fail(QStringLiteral("firmware file %1 cannot be read: %2").arg(filePath, m_stream->errorString()));
            return;
        }
        m_state = SendingData;
        if (m_stream->read(classic::kHeaderSize).size() != static_cast<qsizetype>(classic::kHeaderSize)) {
            fail(QStringLiteral("firmware file header could not be read again"));
            return;
        }
        if (!sendNextPiece(device))
            return;
        m_bootDelegates.call(&SHIDBootDelegate::SHIDBootStartUpdate, this);
        break;
    }
    case SendingData: {
        if (!sendNextPiece(device))
            return;
        const int32_t progress =
            m_totalLength == 0 ? 0 : static_cast<int32_t>(uint64_t{m_bytesSent} * 100 / m_totalLength);
        if (progress != lastProgress) {
            m_bootDelegates.call(&SHIDBootDelegate::SHIDBootStartUpdateing, progress, this);
        }
        lastProgress = progress;
        if (m_bytesSent >= m_totalLength) {
            m_stream.reset();
            m_state = AllDataSent;
        }
        break;
    }
    case AllDataSent:
        // Leave the state first: a device that acknowledges again must not get a second finish or
        // restart the settings step.
        if (isUSBRR_PS_classic) {
            m_state = SettingsStep;
            startReceiverSettings(device);
        } else {
            finish(device);
        }
        break;
    default:
        break; // an ended or finished update ignores stray acknowledgements until the next one
    }
}

bool SHIDBoot::sendNextPiece(HidDevice *device)
{
    std::array<uint8_t, classic::kPieceSize> buffer{};
    const qint64 read = m_stream->read(reinterpret_cast<char *>(buffer.data()), static_cast<qint64>(buffer.size()));
    const auto piece = std::span<const uint8_t>(buffer).first(static_cast<std::size_t>(std::max<qint64>(0, read)));
    if (piece.empty() && m_bytesSent < m_totalLength) {
        fail(QStringLiteral("firmware file ends after %1 of %2 data bytes").arg(m_bytesSent).arg(m_totalLength));
        return false;
    }
    transport::sendFramedPacket(device, transport::kGuard, classic::kCommandData, piece);
    m_bytesSent += static_cast<uint32_t>(piece.size());
    return true;
}

void SHIDBoot::finish(HidDevice *device)
{
    m_state = Finished;
    transport::sendFramedPacket(device, transport::kGuard, classic::kCommandFinish, {});
    m_bootDelegates.call(&SHIDBootDelegate::SHIDBootStartUpdateed, this);
}

void SHIDBoot::fail(const QString &message)
{
    qCWarning(lcBoot).noquote() << "classic update:" << message;
    m_stream.reset();
    m_settingsReading = false;
    m_state = Ended;
    m_bootDelegates.call(&SHIDBootDelegate::SHIDBootErrorString, nullptr, message);
}

void SHIDBoot::abandon()
{
    m_stream.reset();
    m_settingsReading = false;
    if (busy())
        m_state = Ended;
}

void SHIDBoot::startReceiverSettings(HidDevice *device)
{
    m_settings.fill(0);
    m_settingsReceived = 0;
    m_settingsReading = true;
    m_settingsDevice = device;
    const HidReport read = classic::memoryReadReport(classic::kFirstReadLength, classic::kSettingsAddress);
    transport::chk_iohiddev(device, read.data(), read.size());
    scheduler().after(
        kSettingsWaitMs, [this] { writeReceiverSettings(); }, this);
}

void SHIDBoot::readReceiverSettings(std::span<const uint8_t> report)
{
    const auto data = classic::memoryReadData(report);
    if (!data)
        return;
    // Never copy past the block, whatever the reply claims.
    const std::size_t room = classic::kSettingsSize - m_settingsReceived;
    const std::size_t n = std::min(data->size(), room);
    std::copy_n(data->begin(), n, m_settings.begin() + static_cast<std::ptrdiff_t>(m_settingsReceived));
    m_settingsReceived += n;
    if (m_settingsReceived < classic::kSettingsSize) {
        const auto wanted = std::min(classic::kSettingsSize - m_settingsReceived, classic::kMaxReadPiece);
        const HidReport read = classic::memoryReadReport(
            static_cast<uint16_t>(wanted + 4), classic::kSettingsAddress + static_cast<uint32_t>(m_settingsReceived));
        transport::chk_iohiddev(m_settingsDevice.data(), read.data(), read.size());
    }
}

void SHIDBoot::writeReceiverSettings()
{
    if (!m_settingsReading)
        return; // the update ended meanwhile
    m_settingsReading = false;
    if (m_settingsReceived < classic::kSettingsSize) {
        // A partly read block would overwrite the receiver's settings with zeros.
        fail(QStringLiteral("receiver settings read incomplete: %1 of %2 bytes after one second")
                 .arg(m_settingsReceived)
                 .arg(classic::kSettingsSize));
        return;
    }
    m_settings[kSettingsFlagAt] = kSettingsFlag;
    const uint16_t crc = crc::mcrf4xx(std::span<const uint8_t>(m_settings).first(kSettingsCrcAt));
    wire::putLe16(m_settings, kSettingsCrcAt, crc);
    HidDevice *device = m_settingsDevice.data();
    const HidReport write = classic::memoryWriteReport(classic::kSettingsAddress, m_settings);
    transport::chk_iohiddev(device, write.data(), write.size());
    finish(device);
}

} // namespace flashwell
