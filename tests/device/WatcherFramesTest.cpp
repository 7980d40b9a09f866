// Catches: a watcher frame built or parsed off by a byte, or a reply taken without its marker or length.
#include "device/WatcherFrames.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <optional>
#include <string>

using namespace flashwell;
using flashwell::test::hex;

namespace {

// Golden replies: the first 12 bytes each product's reply carries, and the fields they mean.
struct DinputRow
{
    const char *what;
    frames::DinputLayout layout;
    uint16_t pid;
    frames::DinputReply reply;
    bool bothMarkers;
    const char *bytes;
};

[[maybe_unused]] void PrintTo(const DinputRow &row, std::ostream *os)
{
    *os << row.what;
}

const DinputRow kDinputRows[] = {
    {"A plain",
     frames::DinputLayout::A,
     0x3020,
     {502, 3, std::nullopt, std::nullopt, std::nullopt},
     false,
     "22 f6 01 03 00 00 00 00 00 00 00 00"},
    {"A switch flag",
     frames::DinputLayout::A,
     0x3100,
     {100, 0, std::nullopt, true, std::nullopt},
     false,
     "22 64 00 00 00 01 00 00 00 00 00 00"},
    {"A boot version at 5",
     frames::DinputLayout::A,
     0x6000,
     {100, 0, 0x0105, std::nullopt, std::nullopt},
     false,
     "22 64 00 00 00 05 01 00 00 00 00 00"},
    {"A boot version at 6",
     frames::DinputLayout::A,
     0x6002,
     {100, 0, 0x0105, std::nullopt, std::nullopt},
     false,
     "22 64 00 00 00 00 05 01 00 00 00 00"},
    {"B plain",
     frames::DinputLayout::B,
     0x3020,
     {502, 3, std::nullopt, std::nullopt, std::nullopt},
     false,
     "01 22 f6 01 03 00 00 00 00 00 00 00"},
    {"B both markers",
     frames::DinputLayout::B,
     0x3020,
     {502, 3, std::nullopt, std::nullopt, std::nullopt},
     true,
     "22 22 f6 01 03 00 00 00 00 00 00 00"},
    {"B dual receiver",
     frames::DinputLayout::B,
     0x3109,
     {100, 0, std::nullopt, std::nullopt, 0x3013},
     false,
     "01 22 64 00 00 00 13 30 00 00 00 00"},
    {"B boot version at 6",
     frames::DinputLayout::B,
     0x6002,
     {100, 0, 0x0105, std::nullopt, std::nullopt},
     false,
     "01 22 64 00 00 00 05 01 00 00 00 00"},
};

class DinputReplies : public ::testing::TestWithParam<DinputRow>
{
};

} // namespace

TEST_P(DinputReplies, BuildAndParseAgree)
{
    const DinputRow &row = GetParam();
    const HidReport built = frames::buildDinputReply(row.layout, row.pid, row.reply, row.bothMarkers);
    EXPECT_EQ(hex(built, 12), row.bytes);
    const auto parsed = frames::parseDinputReply(row.layout, row.pid, built);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->versionHundredths, row.reply.versionHundredths);
    EXPECT_EQ(parsed->beta, row.reply.beta);
    EXPECT_EQ(parsed->bootVersion, row.reply.bootVersion);
    EXPECT_EQ(parsed->canSwitch, row.reply.canSwitch);
    EXPECT_EQ(parsed->subPid, row.reply.subPid);
}

INSTANTIATE_TEST_SUITE_P(Layouts, DinputReplies, ::testing::ValuesIn(kDinputRows),
                         [](const auto &row) { return flashwell::test::testName(row.param.what); });

TEST(WatcherFrames, RepliesWithoutTheirMarkerOrTooShortAreNotParsed)
{
    HidReport r{};
    EXPECT_FALSE(frames::parseDinputReply(frames::DinputLayout::A, 0x3020, r));
    EXPECT_FALSE(frames::parseDinputReply(frames::DinputLayout::B, 0x3020, r));
    r[0] = 0x22;
    EXPECT_TRUE(frames::parseDinputReply(frames::DinputLayout::A, 0x3020, r));
    EXPECT_FALSE(frames::parseDinputReply(frames::DinputLayout::A, 0x3020, std::span(r).first(7)))
        << "both layouts end with a 16-bit field at byte 6";
    EXPECT_FALSE(frames::parseVendorReply(std::span(r).first(11)));
    r = frames::buildVendorReply({0x02, 0x3101, 100, 0, 1});
    EXPECT_FALSE(frames::parseVendorReply(r)) << "report IDs 01, 05 and 81 only";
}

TEST(WatcherFrames, CommandsHaveTheirBytes)
{
    EXPECT_EQ(hex(frames::buildShortFrame({0x21, 0x00}, false), 8), "06 00 21 01 00 00 00 00");
    EXPECT_EQ(hex(frames::buildShortFrame({0x50, 0x07}, true), 8), "05 00 50 01 00 07 00 00");
    EXPECT_EQ(hex(frames::buildVendorCommand({0x01, 0x51, 0x01}), 8), "01 66 aa 00 51 01 00 00");
    EXPECT_EQ(hex(frames::buildExtendedCommand({0x51, 0x00}), 8), "81 05 00 51 00 00 00 00");
    EXPECT_EQ(hex(frames::buildVendorReply({0x05, 0x6002, 0x0203, 4, 0x0105}), 12),
              "05 66 00 60 02 00 03 02 04 00 05 01");

    const auto shortFrame = frames::parseShortFrame(frames::buildShortFrame({0x21, 0x09}, true));
    ASSERT_TRUE(shortFrame);
    EXPECT_EQ(shortFrame->kind, 0x21);
    EXPECT_EQ(shortFrame->value, 0x09);
    const auto vendor = frames::parseVendorCommand(frames::buildVendorCommand({0x05, 0x50, 0x00}));
    ASSERT_TRUE(vendor);
    EXPECT_EQ(vendor->reportId, 0x05);
    EXPECT_EQ(vendor->command, 0x50);
    const auto extended = frames::parseExtendedCommand(frames::buildExtendedCommand({0x21, 0x01}));
    ASSERT_TRUE(extended);
    EXPECT_EQ(extended->command, 0x21);
    EXPECT_EQ(extended->value, 0x01);
    EXPECT_FALSE(frames::parseShortFrame(frames::buildExtendedCommand({0x21, 0x01})));
    EXPECT_FALSE(frames::parseExtendedCommand(frames::buildShortFrame({0x21, 0x01}, false)));
}
