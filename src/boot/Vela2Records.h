#pragma once

#include "boot/ClassicFrames.h"
#include "boot/Vela2Protocol.h"

#include <QString>

#include <cstdint>
#include <optional>

class QIODevice;

// The image records of a second-generation firmware file: which record is the main image, which
// the radio image, and whether the file can be used at all. Pure functions over any random-access
// QIODevice (a QFile, or a QBuffer over bytes), shared by the session, the tests and the fuzzer.
namespace flashwell::vela2 {

// One record: a 28-byte header, then as many payload bytes as its length field says.
struct ImageRecord
{
    qint64 headerAt = 0;
    classic::FirmwareHeader header;

    qint64 payloadAt() const { return headerAt + static_cast<qint64>(classic::kHeaderSize); }
    qint64 end() const { return payloadAt() + header.length(); }
};

enum class FileVerdict {
    Usable,
    NotThisDevice, // the file holds no image for this device (the user picked another product's file)
    Malformed,     // the file is damaged or cut short; the reason says where
};

struct FileImages
{
    FileVerdict verdict = FileVerdict::Malformed;
    // Set when usable, and also when only the radio record is malformed: a file for another
    // product is reported as such before its radio record's faults.
    std::optional<ImageRecord> main;
    std::optional<ImageRecord> radio; // none when the boot type has no radio stage or the file no radio record
    bool foundBySearch = false;       // the main record was found by the search key, not by its place
};

// Locates the main and radio images of an open `file` for a boot type with `traits`; `searchKey`
// is the gamepad info's search key (used by the types that search for their record). Malformed
// files come back with `whyNot` set; the other verdicts leave it untouched.
FileImages locateImages(QIODevice &file, const BootTypeTraits &traits, uint32_t searchKey, QString &whyNot);

} // namespace flashwell::vela2
