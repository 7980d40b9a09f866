#include "boot/Vela2Records.h"

#include "platform/Bytes.h"

#include <QIODevice>

#include <algorithm>

namespace flashwell::vela2 {

namespace {
constexpr qint64 kHeaderSize = static_cast<qint64>(classic::kHeaderSize);

struct HeaderRead
{
    std::optional<classic::FirmwareHeader> header;
    qint64 got = 0; // bytes there were, when fewer than a header
};

HeaderRead readHeaderAt(QIODevice &file, qint64 at)
{
    if (!file.seek(at))
        return {};
    const QByteArray bytes = file.read(kHeaderSize);
    if (bytes.size() != kHeaderSize)
        return {std::nullopt, bytes.size()};
    classic::FirmwareHeader header;
    const std::span<const uint8_t> view = bytesOf(bytes);
    std::copy(view.begin(), view.end(), header.raw.begin());
    return {header, kHeaderSize};
}

// The first record from the file's start whose pid field equals `key`. The walk ends at the end
// of the file or at a header cut short; a record running past the end ends it too, as its
// successor would start there.
std::optional<ImageRecord> findRecord(QIODevice &file, qint64 size, uint32_t key)
{
    qint64 position = 0;
    while (position < size) {
        const HeaderRead read = readHeaderAt(file, position);
        if (!read.header)
            return std::nullopt;
        const ImageRecord record{position, *read.header};
        if (record.header.pid() == key)
            return record;
        position = record.end();
    }
    return std::nullopt;
}

QString runsPastEnd(const ImageRecord &record, qint64 size)
{
    return QStringLiteral("image record at %1: header length %2 runs past end of file (%3 bytes)")
        .arg(record.headerAt)
        .arg(record.header.length())
        .arg(size);
}
} // namespace

FileImages locateImages(QIODevice &file, const BootTypeTraits &traits, uint32_t searchKey, QString &whyNot)
{
    FileImages out;
    const auto verdict = [&out](FileVerdict v) {
        out.verdict = v;
        return out;
    };
    const auto malformed = [&](const QString &reason) {
        whyNot = reason;
        return verdict(FileVerdict::Malformed);
    };
    const qint64 size = file.size();

    // Where the main record is when it is not searched for: first, or after the skipped record.
    qint64 mainAt = 0;
    if (traits.skipsFirstRecord) {
        const HeaderRead first = readHeaderAt(file, 0);
        if (!first.header) {
            if (first.got == 0 && traits.emptyFileUnsupported)
                return verdict(FileVerdict::NotThisDevice);
            return malformed(
                QStringLiteral("firmware file ends inside its first image header (%1 bytes)").arg(first.got));
        }
        const ImageRecord skipped{0, *first.header};
        if (skipped.end() > size)
            return malformed(runsPastEnd(skipped, size));
        mainAt = skipped.end();
    }

    ImageRecord mainRecord;
    if (traits.searchesRecords) {
        // The search starts at the file's start whatever the type skips.
        const std::optional<ImageRecord> found = findRecord(file, size, searchKey);
        if (!found)
            return verdict(FileVerdict::NotThisDevice);
        mainRecord = *found;
        out.foundBySearch = true;
    } else {
        const HeaderRead read = readHeaderAt(file, mainAt);
        if (!read.header) {
            if (read.got == 0 && traits.emptyFileUnsupported)
                return verdict(FileVerdict::NotThisDevice);
            return malformed(QStringLiteral("firmware file ends inside the main image header (%1 of 28 bytes at %2)")
                                 .arg(read.got)
                                 .arg(mainAt));
        }
        mainRecord = ImageRecord{mainAt, *read.header};
    }
    if (mainRecord.end() > size)
        return malformed(runsPastEnd(mainRecord, size));
    out.main = mainRecord;

    // The radio record is searched from the file's start too, by its own key; a file without one
    // simply has no radio image, but one that runs past the end could not be written whole.
    if (!traits.checksummed && traits.radioStage) {
        const std::optional<ImageRecord> radio = findRecord(file, size, traits.radioRecordKey);
        if (radio && radio->end() > size)
            return malformed(runsPastEnd(*radio, size));
        out.radio = radio;
    }
    return verdict(FileVerdict::Usable);
}

} // namespace flashwell::vela2
