// Second-generation session: erase, the main and radio images, the version word and the reset.
#include "boot/SHIDBootVela2.h"

#include <algorithm>
#include <array>

namespace flashwell {

namespace {
constexpr uint32_t kRadioBit = 0x80000000;
constexpr uint32_t kRadioMarkerAddress = 0x80010006;
constexpr uint32_t kVersionAreaAddress = 0x01017040;
constexpr uint32_t kVersionAreaLength = 32;
constexpr uint32_t kEraseUnit = 0x8000;

uint32_t roundUp(uint32_t value, uint32_t unit)
{
    return static_cast<uint32_t>((uint64_t{value} + unit - 1) / unit * unit);
}
} // namespace

std::size_t SHIDBootVela2::readChunk(QIODevice &file, std::size_t wanted, const char *image,
                                     std::array<uint8_t, vela2::kMaxData> &chunk)
{
    const qint64 n =
        file.read(reinterpret_cast<char *>(chunk.data()), static_cast<qint64>(std::min(wanted, chunk.size())));
    if (n <= 0) {
        fail(QStringLiteral("firmware file ends inside the %1 image after %2 bytes")
                 .arg(QLatin1String(image))
                 .arg(offset));
        return 0;
    }
    return static_cast<std::size_t>(n);
}

void SHIDBootVela2::earseFlash()
{
    const uint32_t length = traits().roundsMainErase ? roundUp(m_mainLength, kEraseUnit) : m_mainLength;
    BootReadFlash({}, 0, m_mainAddress, length, vela2::kErase, [this](std::span<const uint8_t>) {
        if (traits().checksummed) {
            earseFlashVela2Version();
            return;
        }
        // The radio record was found and bounded by the image check.
        writeFirmware();
    });
}

void SHIDBootVela2::earseFlashVela2Version()
{
    BootReadFlash({}, 0, kVersionAreaAddress, kVersionAreaLength, vela2::kErase,
                  [this](std::span<const uint8_t>) { writeFirmware(); });
}

void SHIDBootVela2::writeFirmware()
{
    if (offset >= m_mainLength) {
        reportMainProgress();
        if (traits().radioStage && m_radioHeader.length() != 0)
            earseFlashBLE();
        else
            closingStep();
        return;
    }
    sendMainChunk(plan().mainImage.value_or(m_mainAddress), [this] { writeFirmware(); });
}

void SHIDBootVela2::reportMainProgress()
{
    m_bootDelegates.call(&SHIDBootDelegate::SHIDBootStartUpdate, nullptr);
    m_bootDelegates.call(&SHIDBootDelegate::SHIDBootStartUpdateing, progress(), nullptr);
}

void SHIDBootVela2::sendMainChunk(uint32_t base, std::function<void()> next)
{
    reportMainProgress();
    if (!pfile) {
        fail(QStringLiteral("main image is not open"));
        return;
    }
    std::array<uint8_t, vela2::kMaxData> buffer{};
    const std::size_t read =
        readChunk(*pfile, std::min<std::size_t>(vela2::kMaxData, m_mainLength - offset), "main", buffer);
    if (read == 0)
        return;
    const auto chunk = std::span<const uint8_t>(buffer).first(read);
    const auto count = static_cast<uint32_t>(read);
    BootReadFlash(chunk, count, base + offset, m_mainLength, vela2::kWriteChunk,
                  [this, count, next = std::move(next)](std::span<const uint8_t>) {
                      offset += count;
                      m_bytesWritten += count;
                      next();
                  });
}

void SHIDBootVela2::earseFlashBLE()
{
    const uint32_t length =
        traits().roundsRadioErase ? roundUp(m_radioHeader.length(), kEraseUnit) : m_radioHeader.length();
    BootReadFlash({}, 0, m_radioHeader.address() | kRadioBit, length, vela2::kErase, [this](std::span<const uint8_t>) {
        offset = 0;
        writeFirmwareBLE();
    });
}

void SHIDBootVela2::writeFirmwareBLE()
{
    m_bootDelegates.call(&SHIDBootDelegate::SHIDBootStartUpdateing, progress(), nullptr);
    const uint32_t radioLength = m_radioHeader.length();
    if (offset >= radioLength) {
        writeBleMarker();
        return;
    }
    if (!m_radioFile) {
        fail(QStringLiteral("radio image is not open"));
        return;
    }
    // Always a whole 46-byte chunk, as the bootloader expects; it ignores what lies past the image.
    std::array<uint8_t, vela2::kMaxData> buffer{};
    const std::size_t read = readChunk(*m_radioFile, vela2::kMaxData, "radio", buffer);
    if (read == 0)
        return;
    const auto chunk = std::span<const uint8_t>(buffer).first(read);
    const auto count = static_cast<uint32_t>(read);
    const uint32_t address = (m_radioHeader.address() | kRadioBit) + offset;
    BootReadFlash(chunk, count, address, radioLength, vela2::kWriteChunk, [this, count](std::span<const uint8_t>) {
        offset += count;
        m_bytesWritten += count;
        writeFirmwareBLE();
    });
}

void SHIDBootVela2::writeBleMarker()
{
    const std::array<uint8_t, 2> marker{0x34, 0x12};
    BootReadFlash(marker, 2, kRadioMarkerAddress, 2, vela2::kWrite,
                  [this](std::span<const uint8_t>) { setBleVersion(); });
}

void SHIDBootVela2::setBleVersion()
{
    std::array<uint8_t, 4> version{};
    std::copy_n(m_radioHeader.raw.begin(), 4, version.begin());
    BootReadFlash(version, 4, traits().radioVersionAddress, 4, vela2::kWrite,
                  [this](std::span<const uint8_t>) { closingStep(); });
}

void SHIDBootVela2::closingStep()
{
    if (traits().checksummed && (bootType_PID == 0x9025 || bootType_PID == 0x9026)) {
        // The pass reads the file afresh: nothing of an earlier, interrupted pass is reused.
        m_verifyFile.reset();
        m_verifyChunkIndex = -1;
        Flash_CRC(0, 0);
    } else {
        setVela2Version();
    }
}

void SHIDBootVela2::setVela2Version()
{
    std::array<uint8_t, 4> word{};
    wire::putLe32(word, 0, m_mainVersionWord);
    BootReadFlash(word, 4, plan().versionWord, 4, vela2::kWrite, [this](std::span<const uint8_t>) {
        m_bootDelegates.call(&SHIDBootDelegate::SHIDBootStartUpdateed, nullptr);
        pfile.reset();
        resetGamepad();
    });
}

} // namespace flashwell
