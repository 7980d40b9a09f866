// Second-generation session: the firmware file's image records, the product check and the two
// flash verifications.
#include "boot/Crc.h"
#include "boot/FirmwareTransform.h"
#include "boot/SHIDBootVela2.h"

#include <algorithm>
#include <array>

namespace flashwell {

namespace {
constexpr uint32_t kNotFound = 0xFFFFFFFF;
constexpr std::size_t kHeaderSize = classic::kHeaderSize;
constexpr std::size_t kHalf = 256;
constexpr uint32_t kHeadSize = 4096;

QString crcError(uint16_t device, uint16_t file)
{
    return QString::asprintf("CRC Error: \n crc : %x file_crc: %x ", device, file);
}

bool readHeader(QFile &file, classic::FirmwareHeader &header, qint64 &got)
{
    const QByteArray bytes = file.read(kHeaderSize);
    got = bytes.size();
    if (bytes.size() != static_cast<qsizetype>(kHeaderSize))
        return false;
    std::copy(bytes.begin(), bytes.end(), header.raw.begin());
    return true;
}

// `count` bytes of `file` from `at`, 0xFF where the file has none (as erased flash reads).
std::vector<uint8_t> readPadded(const QString &path, qint64 at, std::size_t count, std::size_t available)
{
    std::vector<uint8_t> out(count, 0xFF);
    QFile file(path);
    if (available == 0 || !file.open(QIODevice::ReadOnly) || !file.seek(at))
        return out;
    const QByteArray bytes = file.read(static_cast<qint64>(std::min(count, available)));
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return out;
}
} // namespace

bool SHIDBootVela2::verifyRecordFits(const QFile &file, qint64 headerAt, const classic::FirmwareHeader &header)
{
    const qint64 end = headerAt + static_cast<qint64>(kHeaderSize) + header.length();
    if (end <= file.size())
        return true;
    fail(QStringLiteral("image record at %1: header length %2 runs past end of file (%3 bytes)")
             .arg(headerAt)
             .arg(header.length())
             .arg(file.size()));
    return false;
}

bool SHIDBootVela2::imageCheck()
{
    // No file: identification only (nothing is being updated); the chain stops quietly.
    if (filePath.isEmpty()) {
        m_blocks.clear();
        return false;
    }
    auto stream = std::make_unique<QFile>(filePath);
    // Unbuffered: the chunks are read as they go out, so a file that changes underneath is noticed.
    if (!stream->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        fail(QStringLiteral("firmware file %1 cannot be read: %2").arg(filePath, stream->errorString()));
        return false;
    }

    classic::FirmwareHeader header;
    qint64 got = 0;
    if (vela2::skipsFirstRecord(bootType)) {
        if (!readHeader(*stream, header, got)) {
            if (got == 0 && bootType == 2) {
                if (SHIDBootDelegate *d = bootDelegate())
                    d->SHIDBootNotSupportFirmware(nullptr);
                return false;
            }
            fail(QStringLiteral("firmware file ends inside its first image header (%1 bytes)").arg(got));
            return false;
        }
        if (!verifyRecordFits(*stream, 0, header))
            return false;
        stream->seek(static_cast<qint64>(kHeaderSize) + header.length());
    }

    qint64 headerAt = stream->pos();
    bool foundBySearch = false;
    if (vela2::searchesRecords(bootType)) {
        foundBySearch = true;
        const uint32_t found = walkRecords(*stream, m_info.searchKey(), header);
        if (found == kNotFound) {
            if (SHIDBootDelegate *d = bootDelegate())
                d->SHIDBootNotSupportFirmware(nullptr);
            return false;
        }
        headerAt = found;
    } else if (!readHeader(*stream, header, got)) {
        if (got == 0 && bootType == 2) {
            if (SHIDBootDelegate *d = bootDelegate())
                d->SHIDBootNotSupportFirmware(nullptr);
            return false;
        }
        fail(QStringLiteral("firmware file ends inside the main image header (%1 of 28 bytes at %2)")
                 .arg(got)
                 .arg(headerAt));
        return false;
    }
    if (!verifyRecordFits(*stream, headerAt, header))
        return false;

    m_mainHeader = header;
    m_mainVersionWord = header.versionWord();
    m_mainAddress = header.address();
    m_mainLength = header.length();
    m_mainPid = header.pid();
    m_mainPayloadAt = headerAt + static_cast<qint64>(kHeaderSize);
    m_bytesWritten = 0;

    // The wired bootloaders 0x2003 and 0x2006 keep their records under 0x2002: the record search
    // is mapped for no other reason, so the record it found that way is theirs.
    const uint32_t recordPid = header.pid() & 0xFFFF;
    const bool wiredFamilyRecord = foundBySearch && isSummitWired(bootType_PID) && recordPid == 0x2002;
    if (bootType_PID != recordPid && !wiredFamilyRecord) {
        if (SHIDBootDelegate *d = bootDelegate())
            d->SHIDBootErrorNOEqualPID(this, header.pid(), bootType_PID);
        return false;
    }
    // The radio record is found and bounded here too, so that a file the update cannot finish is
    // refused before anything is erased. Each update starts from its own images: no radio length
    // of an earlier update survives into this one's progress.
    m_radioHeader = {};
    m_radioFile.reset();
    if (!vela2::isChecksummedBootType(bootType) && vela2::hasRadioStage(bootType)) {
        const uint32_t found = radioRecordSearch(bootType == 21 ? 1 : 0);
        if (found == kNotFound) {
            m_radioHeader = {};
        } else {
            if (!verifyRecordFits(*m_radioFile, found, m_radioHeader)) {
                m_radioHeader = {};
                m_radioFile.reset();
                return false;
            }
            m_radioFile->seek(static_cast<qint64>(found) + static_cast<qint64>(kHeaderSize));
        }
    }
    offset = 0;
    pfile = std::move(stream);
    return true;
}

uint32_t SHIDBootVela2::walkRecords(QFile &file, uint32_t key, classic::FirmwareHeader &header)
{
    const qint64 size = file.size();
    qint64 position = 0;
    while (position < size && file.seek(position)) {
        qint64 got = 0;
        if (!readHeader(file, header, got))
            break;
        if (header.pid() == key)
            return static_cast<uint32_t>(position);
        position += static_cast<qint64>(kHeaderSize) + header.length();
    }
    return kNotFound;
}

uint32_t SHIDBootVela2::recordSearch(uint32_t key)
{
    if (!vela2::searchesRecords(bootType))
        return kNotFound;
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return kNotFound;
    classic::FirmwareHeader header;
    return walkRecords(file, key, header);
}

uint32_t SHIDBootVela2::radioRecordSearch(uint32_t key)
{
    m_radioFile = std::make_unique<QFile>(filePath);
    if (!m_radioFile->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return kNotFound;
    return walkRecords(*m_radioFile, key, m_radioHeader);
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
        const uint32_t position = static_cast<uint32_t>(i) * firmware_transform::kChunkSize;
        const std::size_t available = position < m_mainLength ? m_mainLength - position : 0;
        std::vector<uint8_t> chunk =
            readPadded(filePath, m_mainPayloadAt + position, firmware_transform::kChunkSize, available);
        firmware_transform::apply(std::span<uint8_t, firmware_transform::kChunkSize>(chunk.data(), chunk.size()),
                                  position);
        if (i == 0)
            std::fill(chunk.begin() + 2, chunk.begin() + 6, 0xFF);
        const auto bytes = std::span<const uint8_t>(chunk);
        const uint16_t expected = crc::modbus(bytes.subspan(half == 0 ? 0 : kHalf, kHalf));
        const uint16_t deviceCrc = wire::le16(reply, vela2::kReplyPayload);
        if (deviceCrc != expected) {
            resetGamepad();
            fail(crcError(deviceCrc, expected));
            return;
        }
        if (half == 0)
            Flash_CRC(i, 1);
        else if (static_cast<uint32_t>(i) >= lastChunk)
            setVela2Version();
        else
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
        QFile file(filePath);
        const qint64 at = static_cast<qint64>(appZoneAddr) + static_cast<qint64>(kHeaderSize);
        const qint64 size = file.open(QIODevice::ReadOnly) ? file.size() : 0;
        const std::size_t available = at < size ? static_cast<std::size_t>(size - at) : 0;
        const std::vector<uint8_t> head = readPadded(filePath, at, kHeadSize, available);
        const uint16_t expected = crc::modbus(head);
        const uint16_t deviceCrc = wire::le16(reply, vela2::kReplyPayload);
        if (deviceCrc != expected) {
            fail(crcError(deviceCrc, expected));
            return;
        }
        if (SHIDBootDelegate *d = bootDelegate())
            d->SHIDBootStartUpdateed(nullptr);
        resetGamepad();
    });
}

void SHIDBootVela2::writeSave_Head_4K()
{
    BootReadFlash({}, 0, 0, 0, vela2::kJlSaveHead, [this](std::span<const uint8_t>) { flashCRC(); });
}

} // namespace flashwell
