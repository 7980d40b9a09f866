// Catches: a record search that finds the wrong image, reads past the file or misjudges an unusable file.
#include "boot/Vela2Records.h"

#include "models/FirmwareFileBuilder.h"
#include "platform/Bytes.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <optional>
#include <ostream>
#include <vector>

using namespace flashwell;
using flashwell::lab::buildVela2File;
using flashwell::lab::patternBytes;
using flashwell::lab::Vela2Record;
using vela2::FileVerdict;

namespace {

constexpr qint64 kNone = -1;

// A record of `size` payload bytes whose header may claim another length.
Vela2Record rec(uint32_t pid, int size, std::optional<uint32_t> claimedLength = std::nullopt)
{
    return {100, 0, 0x08010000, pid, patternBytes(size, pid + 1), claimedLength};
}

QByteArray file(const std::vector<Vela2Record> &records, const QByteArray &tail = {})
{
    return buildVela2File(records) + tail;
}

// Boot types by what they do with a file: 1 takes the first record; 2 and 18 skip a first record
// (2 calls an empty file unsupported); 3 and 6 search by key and look for a radio record with pid
// 0; 5 has no radio stage; 21 skips a first record and looks for a radio record with pid 1.
struct RecordsCase
{
    const char *what;
    int32_t bootType;
    uint32_t searchKey;
    QByteArray file;
    FileVerdict verdict;
    qint64 mainAt;
    qint64 radioAt;
    const char *whyNot; // exactly; empty unless malformed
};

[[maybe_unused]] void PrintTo(const RecordsCase &c, std::ostream *os)
{
    *os << c.what;
}

class Vela2Records : public ::testing::TestWithParam<RecordsCase>
{
};

TEST_P(Vela2Records, LocateImages)
{
    const RecordsCase &c = GetParam();
    QByteArray bytes = c.file;
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    buffer.seek(buffer.size()); // where the device stands before the call does not matter
    QString whyNot;
    const vela2::FileImages images = vela2::locateImages(buffer, vela2::traitsOf(c.bootType), c.searchKey, whyNot);

    EXPECT_EQ(images.verdict, c.verdict);
    EXPECT_EQ(whyNot, QString::fromLatin1(c.whyNot));
    EXPECT_EQ(images.main ? images.main->headerAt : kNone, c.mainAt);
    EXPECT_EQ(images.radio ? images.radio->headerAt : kNone, c.radioAt);
    // Each record found is the header at its place, and its payload lies within the file.
    for (const auto &record : {images.main, images.radio}) {
        if (!record)
            continue;
        EXPECT_EQ(byteArrayOf(record->header.raw), c.file.mid(record->headerAt, 28));
        EXPECT_LE(record->end(), c.file.size());
    }
}

const std::vector<RecordsCase> kCases = {
    // Place: first record, or the one after a skipped first record.
    {"first record", 1, 0, file({rec(0x9020, 10), rec(0x9021, 20)}), FileVerdict::Usable, 0, kNone, ""},
    {"no radio stage", 5, 0, file({rec(0x3016, 10), rec(0, 20)}), FileVerdict::Usable, 0, kNone, ""},
    {"skips first record", 18, 0, file({rec(9, 40), rec(0x9025, 60)}), FileVerdict::Usable, 68, kNone, ""},
    {"empty unsupported", 2, 0, {}, FileVerdict::NotThisDevice, kNone, kNone, ""},
    {"empty",
     1,
     0,
     {},
     FileVerdict::Malformed,
     kNone,
     kNone,
     "firmware file ends inside the main image header (0 of 28 bytes at 0)"},
    {"empty skipping",
     18,
     0,
     {},
     FileVerdict::Malformed,
     kNone,
     kNone,
     "firmware file ends inside its first image header (0 bytes)"},
    {"first header cut", 2, 0, file({rec(9, 40)}).left(10), FileVerdict::Malformed, kNone, kNone,
     "firmware file ends inside its first image header (10 bytes)"},
    {"first record past end", 18, 0, file({rec(9, 40, 5000)}), FileVerdict::Malformed, kNone, kNone,
     "image record at 0: header length 5000 runs past end of file (68 bytes)"},
    {"only first record unsupported", 2, 0, file({rec(9, 40)}), FileVerdict::NotThisDevice, kNone, kNone, ""},
    {"only first record", 18, 0, file({rec(9, 40)}), FileVerdict::Malformed, kNone, kNone,
     "firmware file ends inside the main image header (0 of 28 bytes at 68)"},
    {"main header cut after first", 18, 0, file({rec(9, 40)}, file({rec(0x9025, 10)}).left(5)), FileVerdict::Malformed,
     kNone, kNone, "firmware file ends inside the main image header (5 of 28 bytes at 68)"},
    {"main header cut", 1, 0, file({rec(0x9020, 10)}).left(27), FileVerdict::Malformed, kNone, kNone,
     "firmware file ends inside the main image header (27 of 28 bytes at 0)"},
    {"main one byte past end", 1, 0, file({rec(0x9020, 10, 11)}), FileVerdict::Malformed, kNone, kNone,
     "image record at 0: header length 11 runs past end of file (38 bytes)"},

    // Search by product and sub-type, over every record from the file's start.
    {"search hit", 3, 0x22000, file({rec(0x2000, 30), rec(0x22000, 30)}), FileVerdict::Usable, 58, kNone, ""},
    {"search miss", 3, 0x32000, file({rec(0x2000, 30), rec(0x22000, 30)}), FileVerdict::NotThisDevice, kNone, kNone,
     ""},
    {"search empty file", 3, 0x2000, {}, FileVerdict::NotThisDevice, kNone, kNone, ""},
    {"search hit past end", 3, 0x22000, file({rec(0x2000, 30), rec(0x22000, 30, 31)}), FileVerdict::Malformed, kNone,
     kNone, "image record at 58: header length 31 runs past end of file (116 bytes)"},
    {"search after zero length", 3, 0x2000, file({rec(5, 0), rec(7, 0), rec(0x2000, 10)}), FileVerdict::Usable, 56,
     kNone, ""},
    {"search stops past end", 3, 0x2000, file({rec(5, 10, 500), rec(0x2000, 10)}), FileVerdict::NotThisDevice, kNone,
     kNone, ""},
    {"search stops at cut header", 3, 0x2000, file({rec(5, 10)}, file({rec(0x2000, 10)}).left(20)),
     FileVerdict::NotThisDevice, kNone, kNone, ""},

    // The radio record: pid field 0 (types 3, 6) or 1 (type 21), searched from the file's start.
    {"radio after main", 3, 0x2000, file({rec(0x2000, 100), rec(0, 50)}), FileVerdict::Usable, 0, 128, ""},
    {"radio after zero length", 3, 0x2000, file({rec(0x2000, 10), rec(3, 0), rec(0, 20)}), FileVerdict::Usable, 0, 66,
     ""},
    {"radio before main", 6, 0x2002, file({rec(0, 20), rec(0x2002, 10)}), FileVerdict::Usable, 48, 0, ""},
    {"radio absent", 3, 0x2000, file({rec(0x2000, 10), rec(7, 10)}), FileVerdict::Usable, 0, kNone, ""},
    {"radio past end", 3, 0x2000, file({rec(0x2000, 100), rec(0, 50, 5000)}), FileVerdict::Malformed, 0, kNone,
     "image record at 128: header length 5000 runs past end of file (206 bytes)"},
    {"radio behind cut header", 3, 0x2000, file({rec(0x2000, 10)}, file({rec(0, 10)}).left(27)), FileVerdict::Usable, 0,
     kNone, ""},
    {"radio key one", 21, 0, file({rec(9, 40), rec(0x3103, 60), rec(1, 20)}), FileVerdict::Usable, 68, 156, ""},
    {"radio key one in first record", 21, 0, file({rec(1, 40), rec(0x3103, 60)}), FileVerdict::Usable, 68, 0, ""},
};

INSTANTIATE_TEST_SUITE_P(Files, Vela2Records, ::testing::ValuesIn(kCases),
                         [](const auto &row) { return flashwell::test::testName(row.param.what); });

} // namespace
