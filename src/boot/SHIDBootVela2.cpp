// Second-generation session: packets, reply dispatch and identification.
#include "boot/SHIDBootVela2.h"

#include "boot/BootLogging.h"
#include "device/HidTransport.h"
#include "device/UsbIdentities.h"
#include "platform/ApplicationContext.h"
#include "platform/Scheduler.h"

#include <algorithm>

namespace flashwell {

namespace {
constexpr int64_t kBootSerialDelayMs = 500;
// Reading the gamepad info record again once is enough to tell a bad record from a late one.
constexpr int kMaxInfoRequests = 2;
} // namespace

SHIDBootVela2 &SHIDBootVela2::sharedInstance()
{
    return ApplicationContext::current().shared<SHIDBootVela2>(
        [] { return std::make_unique<SHIDBootVela2>(PlatformServices::shared()); });
}

SHIDBootVela2::SHIDBootVela2(PlatformServices services, QObject *parent)
    : SHIDManager(services, parent)
{}

SHIDBootVela2::~SHIDBootVela2() = default;

void SHIDBootVela2::open()
{
    openWithMatching(usb::matching(usb::kSecondGenBootloaders));
}

void SHIDBootVela2::deviceMatched(HidDevice *device)
{
    m_device = device;
    openAndListen(device);
    auto record = makeRecord(device);
    m_bootDelegates.call(&SHIDBootDelegate::SHIDBootAddDevice, record, nullptr);
}

void SHIDBootVela2::deviceRemoved(HidDevice *device)
{
    auto record = std::make_shared<SFenwykDevice>();
    record->deviceName = device->property(kHidProductKey).toString();
    record->deviceRef = device;
    if (m_device.data() == device)
        m_device = nullptr;
    m_bootDelegates.call(&SHIDBootDelegate::SHIDBootRemoveDevice, record, nullptr);
}

bool SHIDBootVela2::checksummed() const
{
    return traits().checksummed || vela2::isJLProductId(bootType_PID);
}

void SHIDBootVela2::Generate_bootCmdPacket(std::span<const uint8_t> data, uint32_t len, uint32_t address,
                                           uint32_t totalLen, int32_t cmd, uint16_t params)
{
    const HidReport packet =
        vela2::buildRequest(static_cast<uint16_t>(cmd), params, data, len, totalLen, address, checksummed());
    transport::chk_iohiddev(m_device.data(), packet.data(), packet.size());
}

void SHIDBootVela2::BootReadFlash(std::span<const uint8_t> data, uint32_t len, uint32_t address, uint32_t totalLen,
                                  int32_t cmd, ReplyHandler block)
{
    addBlock(std::move(block), static_cast<uint8_t>(cmd & 0xFF));
    Generate_bootCmdPacket(data, len, address, totalLen, cmd, 0);
}

void SHIDBootVela2::addBlock(ReplyHandler block, uint8_t cmd)
{
    m_pending.expect(cmd, std::move(block));
}

QString SHIDBootVela2::currentStep() const
{
    const auto command = m_pending.command();
    if (!command)
        return QStringLiteral("no request pending");
    QString step = QStringLiteral("waiting for the %1 reply").arg(QLatin1String(vela2::commandName(*command)));
    if (*command == vela2::kWriteChunk)
        step += QStringLiteral(" (%1 of %2 image bytes written)").arg(m_bytesWritten).arg(m_mainLength + radioLength());
    return step;
}

void SHIDBootVela2::readReadFlash(std::span<const uint8_t> report, int32_t cmd, const ReplyHandler &block)
{
    if (block && vela2::isReplyTo(report, static_cast<uint16_t>(cmd)))
        block(report);
}

void SHIDBootVela2::inputReport(HidDevice *sender, std::span<const uint8_t> report)
{
    Q_UNUSED(sender);
    Q_UNUSED(report);
    if (!m_pending.waiting())
        return;
    // The handler may register its successor. Handlers read the whole 64-byte buffer (zero-filled
    // past a short report), so no payload read can leave it.
    const uint8_t command = *m_pending.command();
    m_pending.dispatch([this, command](const ReplyHandler &block) { readReadFlash(gpReportBufB, command, block); });
}

void SHIDBootVela2::fail(const QString &message)
{
    qCWarning(lcBoot).noquote() << "second-generation update:" << message;
    m_pending.clear();
    pfile.reset();
    m_radioFile.reset();
    m_verifyFile.reset();
    m_bootDelegates.call(&SHIDBootDelegate::SHIDBootErrorString, nullptr, message);
}

void SHIDBootVela2::readPID()
{
    ++m_run;
    m_info = {};
    m_infoRequests = 0;
    bootType_PID = 0;
    const std::array<uint8_t, 2> zeros{};
    BootReadFlash(zeros, 2, 0, 2, vela2::kReadPid, [this](std::span<const uint8_t> reply) {
        const uint32_t pid = wire::le16(reply, vela2::kReplyPayload);
        if (const auto type = vela2::bootTypeForPid(pid)) {
            bootType = *type;
            bootType_PID = pid;
        } else {
            bootType_PID = 0;
        }
        if (vela2::isJLProductId(bootType_PID)) {
            updateJL(pid);
            return;
        }
        if (isSummitWired(pid)) {
            bootType_PID = pid;
            bootType = 6;
        }
        getVela2Version();
        scheduler().after(
            kBootSerialDelayMs,
            [this, run = m_run] {
                if (run == m_run)
                    readBoot_Serial();
            },
            this);
    });
}

void SHIDBootVela2::getVela2Version()
{
    std::array<uint8_t, 4> held{};
    wire::putLe32(held, 0, m_mainVersionWord);
    BootReadFlash(held, 4, plan().versionWord, 4, vela2::kRead, [this](std::span<const uint8_t> reply) {
        auto record = std::make_shared<SFenwykDevice>();
        record->setVersion(static_cast<float>(wire::le16(reply, vela2::kReplyPayload)) / 100.0f);
        record->beta = wire::le16(reply, vela2::kReplyPayload + 2);
        m_bootDelegates.call(&SHIDBootDelegate::SHIDBootGetVersion, record, nullptr);
    });
}

void SHIDBootVela2::readBoot_Serial()
{
    const uint32_t address = plan().bootSerial;
    if (address == 0) {
        // The info-addressed types learn the address from the gamepad info record. A record that
        // still says 0 after one more read will not change: end instead of asking forever.
        if (m_infoRequests >= kMaxInfoRequests) {
            fail(QStringLiteral("gamepad info record gives boot serial address 0 (read %1 times)").arg(m_infoRequests));
            return;
        }
        readGamepadInfo(true);
        return;
    }
    BootReadFlash({}, vela2::kBootSerialSize, address, vela2::kBootSerialSize, vela2::kRead,
                  [this](std::span<const uint8_t> reply) {
                      std::copy_n(reply.begin() + vela2::kReplyPayload, vela2::kBootSerialSize, m_bootSerial.begin());
                      if (imageCheck())
                          earseFlash();
                  });
}

void SHIDBootVela2::readGamepadInfo(bool continueWithBootSerial)
{
    ++m_infoRequests;
    m_info = {};
    BootReadFlash({}, 0, 0, vela2::kGamepadInfoSize, vela2::kGamepadInfo,
                  [this, continueWithBootSerial](std::span<const uint8_t> reply) {
                      std::copy_n(reply.begin() + vela2::kReplyPayload, vela2::kGamepadInfoSize, m_info.raw.begin());
                      auto record = std::make_shared<SFenwykDevice>();
                      record->setVersion(static_cast<float>(m_info.version()) / 100.0f);
                      record->beta = m_info.beta();
                      m_bootDelegates.call(&SHIDBootDelegate::SHIDBootGetVersion, record, nullptr);
                      if (isSummitWired(m_info.productId()))
                          m_info.setProductId(0x2002);
                      if (continueWithBootSerial)
                          readBoot_Serial();
                  });
}

void SHIDBootVela2::resetGamepad()
{
    BootReadFlash({}, 0, 0, 0, vela2::kReset, [](std::span<const uint8_t>) {});
}

int32_t SHIDBootVela2::progress() const
{
    const uint64_t total = uint64_t{m_radioHeader.length()} + m_mainLength;
    // The last radio chunk is always 46 bytes, so the count can pass the total: never show more than 100.
    return total == 0 ? 0 : static_cast<int32_t>(std::min<uint64_t>(100, uint64_t{m_bytesWritten} * 100 / total));
}

} // namespace flashwell
