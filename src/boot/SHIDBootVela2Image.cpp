// Second-generation session: the image check (its records found by vela2::locateImages), the
// product check and the two flash verifications.
#include "boot/Crc.h"
#include "boot/FirmwareTransform.h"
#include "boot/SHIDBootVela2.h"
#include "boot/Vela2Records.h"

#include <algorithm>
#include <array>

namespace flashwell {

namespace {
constexpr std::size_t kHeaderSize = classic::kHeaderSize;
constexpr uint32_t kHalf = 256;
constexpr uint32_t kHeadSize = 4096;

QString crcError(uint16_t device, uint16_t file)
{
    return QString::asprintf("CRC Error: \n crc : %x file_crc: %x ", device, file);
}

// `count` bytes of `file` from `at`, 0xFF where the file has none (as erased flash reads).
void readPadded(QIODevice &file, qint64 at, std::size_t count, std::size_t available, std::vector<uint8_t> &out)
{
    out.assign(count, 0xFF);
    if (available == 0 || !file.isOpen() || !file.seek(at))
        return;
    const auto wanted = static_cast<qint64>(std::min(count, available));
    const qint64 got = file.read(reinterpret_cast<char *>(out.data()), wanted);
    if (got < wanted)
        std::fill(out.begin() + std::max<qint64>(got, 0), out.end(), 0xFF);
}
} // namespace

bool SHIDBootVela2::imageCheck()
{
    // No file: identification only (nothing is being updated); the chain stops quietly.
    if (filePath.isEmpty() && !fileSource.hasBytes()) {
        m_pending.clear();
        return false;
    }
    // Unbuffered: the chunks are read as they go out, so a file that changes underneath is noticed.
    auto stream = fileSource.open(filePath, QIODevice::ReadOnly | QIODevice::Unbuffered);
    if (!stream->isOpen()) {
        fail(QStringLiteral("firmware file %1 cannot be read: %2").arg(filePath, stream->errorString()));
        return false;
    }

    QString whyNot;
    const vela2::FileImages images = vela2::locateImages(*stream, traits(), m_info.searchKey(), whyNot);
    if (images.verdict == vela2::FileVerdict::NotThisDevice) {
        m_bootDelegates.call(&SHIDBootDelegate::SHIDBootNotSupportFirmware, nullptr);
        return false;
    }
    if (!images.main) {
        fail(whyNot);
        return false;
    }
    const vela2::ImageRecord &mainRecord = *images.main;
    m_mainHeader = mainRecord.header;
    m_mainVersionWord = mainRecord.header.versionWord();
    m_mainAddress = mainRecord.header.address();
    m_mainLength = mainRecord.header.length();
    m_mainPid = mainRecord.header.pid();
    m_mainPayloadAt = mainRecord.payloadAt();
    m_bytesWritten = 0;

    // The wired bootloaders 0x2003 and 0x2006 keep their records under 0x2002: the record search
    // is mapped for no other reason, so the record it found that way is theirs.
    const uint32_t recordPid = mainRecord.header.pid() & 0xFFFF;
    const bool wiredFamilyRecord = images.foundBySearch && isSummitWired(bootType_PID) && recordPid == 0x2002;
    if (bootType_PID != recordPid && !wiredFamilyRecord) {
        m_bootDelegates.call(&SHIDBootDelegate::SHIDBootErrorNOEqualPID, this, mainRecord.header.pid(), bootType_PID);
        return false;
    }
    // The radio record was found and bounded too, so that a file the update cannot finish is
    // refused before anything is erased. Each update starts from its own images: no radio length
    // of an earlier update survives into this one's progress.
    m_radioHeader = {};
    m_radioFile.reset();
    if (images.verdict == vela2::FileVerdict::Malformed) {
        fail(whyNot);
        return false;
    }
    if (images.radio) {
        auto radio = fileSource.open(filePath, QIODevice::ReadOnly | QIODevice::Unbuffered);
        if (!radio->isOpen() || !radio->seek(images.radio->payloadAt())) {
            fail(QStringLiteral("firmware file %1 cannot be read: %2").arg(filePath, radio->errorString()));
            return false;
        }
        m_radioHeader = images.radio->header;
        m_radioFile = std::move(radio);
    }
    if (!stream->seek(m_mainPayloadAt)) {
        fail(QStringLiteral("firmware file %1 cannot be read: %2").arg(filePath, stream->errorString()));
        return false;
    }
    offset = 0;
    pfile = std::move(stream);
    return true;
}

bool SHIDBootVela2::Flash_CRC(int32_t i, int32_t half)
{
    const uint32_t base = bootType_PID == 0x9025 ? 0x10000 : 0x4000;
    std::array<uint8_t, 12> words{};
    wire::putLe32(words, 0, static_cast<uint32_t>(half) * kHalf + static_cast<uint32_t>(i) * 512 + base);
    wire::putLe32(words, 4, kHalf);
    wire::putLe32(words, 8, 0);
    // An image shorter than a header would wrap the count; it has only chunk 0.
    const uint32_t lastChunk = m_bytesWritten >= kHeaderSize ? (m_bytesWritten - kHeaderSize) >> 9 : 0;
    BootReadFlash(words, 12, 0, 12, vela2::kFlashCrc, [this, i, half, lastChunk](std::span<const uint8_t> reply) {
        // Both halves of a chunk check the same transformed bytes: read and transform them once.
        if (half == 0 || i != m_verifyChunkIndex) {
            if (!m_verifyFile)
                m_verifyFile = fileSource.open(filePath, QIODevice::ReadOnly | QIODevice::Unbuffered);
            const uint32_t position = static_cast<uint32_t>(i) * firmware_transform::kChunkSize;
            const std::size_t available = position < m_mainLength ? m_mainLength - position : 0;
            std::vector<uint8_t> &chunk = m_verifyChunk;
            readPadded(*m_verifyFile, m_mainPayloadAt + position, firmware_transform::kChunkSize, available, chunk);
            firmware_transform::apply(std::span<uint8_t, firmware_transform::kChunkSize>(chunk.data(), chunk.size()),
                                      position);
            if (i == 0)
                std::fill(chunk.begin() + 2, chunk.begin() + 6, 0xFF);
            m_verifyChunkIndex = i;
        }
        const auto bytes = std::span<const uint8_t>(m_verifyChunk);
        const uint16_t expected = crc::modbus(bytes.subspan(half == 0 ? 0 : kHalf, kHalf));
        const uint16_t deviceCrc = wire::le16(reply, vela2::kReplyPayload);
        if (deviceCrc != expected) {
            resetGamepad();
            fail(crcError(deviceCrc, expected));
            return;
        }
        if (half == 0) {
            Flash_CRC(i, 1);
        } else if (static_cast<uint32_t>(i) >= lastChunk) {
            m_verifyFile.reset();
            m_verifyChunkIndex = -1;
            setVela2Version();
        } else
            Flash_CRC(i + 1, 0);
    });
    return false;
}

void SHIDBootVela2::flashCRC()
{
    std::array<uint8_t, 12> words{};
    wire::putLe32(words, 4, kHeadSize);
    BootReadFlash(words, 12, 0, 12, vela2::kFlashCrc, [this](std::span<const uint8_t> reply) {
        pfile.reset();
        const auto file = fileSource.open(filePath, QIODevice::ReadOnly);
        const qint64 at = static_cast<qint64>(appZoneAddr) + static_cast<qint64>(kHeaderSize);
        const qint64 size = file->isOpen() ? file->size() : 0;
        const std::size_t available = at < size ? static_cast<std::size_t>(size - at) : 0;
        std::vector<uint8_t> head;
        readPadded(*file, at, kHeadSize, available, head);
        const uint16_t expected = crc::modbus(head);
        const uint16_t deviceCrc = wire::le16(reply, vela2::kReplyPayload);
        if (deviceCrc != expected) {
            fail(crcError(deviceCrc, expected));
            return;
        }
        m_bootDelegates.call(&SHIDBootDelegate::SHIDBootStartUpdateed, nullptr);
        resetGamepad();
    });
}

void SHIDBootVela2::writeSave_Head_4K()
{
    BootReadFlash({}, 0, 0, 0, vela2::kJlSaveHead, [this](std::span<const uint8_t>) { flashCRC(); });
}

} // namespace flashwell
