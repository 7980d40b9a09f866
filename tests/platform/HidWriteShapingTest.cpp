// Catches: a report ID found in a descriptor's data, or an output report sent without its leading zero.
#include "platform/HidWriteShaping.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include <array>
#include <vector>

using namespace flashwell::hidraw;

struct DescriptorCase
{
    const char *what;
    std::vector<uint8_t> bytes;
    bool numbered;
};

// Failure messages name the case instead of dumping its bytes.
[[maybe_unused]] void PrintTo(const DescriptorCase &c, std::ostream *os)
{
    *os << c.what;
}

class ReportDescriptor : public ::testing::TestWithParam<DescriptorCase>
{
};

TEST_P(ReportDescriptor, ReportIdItemsAreFound)
{
    EXPECT_EQ(reportDescriptorUsesReportIds(GetParam().bytes), GetParam().numbered) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Items, ReportDescriptor,
    ::testing::Values(
        // Vendor page, 64-byte in and out reports, no report IDs.
        DescriptorCase{"vendor, unnumbered",
                       {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
                        0x95, 0x40, 0x09, 0x01, 0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0},
                       false},
        // Gamepad with Report ID 1 (0x85 0x01).
        DescriptorCase{
            "gamepad, report id 1", {0x05, 0x01, 0x09, 0x05, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x30, 0xC0}, true},
        // 0x85 appearing only as data of another item is not a Report ID.
        DescriptorCase{"0x85 as data", {0x26, 0x85, 0x00, 0x75, 0x08, 0xC0}, false},
        // A 4-byte item (size code 3) whose data holds 0x85.
        DescriptorCase{"4-byte data", {0x27, 0x85, 0x85, 0x85, 0x85, 0xC0}, false},
        // A long item skipped by its length, then a Report ID.
        DescriptorCase{"long item then id", {0xFE, 0x02, 0x10, 0x85, 0x85, 0x85, 0x07}, true},
        DescriptorCase{"long item only", {0xFE, 0x02, 0x10, 0x85, 0x85}, false},
        // A Report ID item with its data cut off still declares numbered reports.
        DescriptorCase{"truncated id", {0x09, 0x01, 0x85}, true}, DescriptorCase{"truncated long item", {0xFE}, false},
        DescriptorCase{"empty", {}, false}),
    [](const auto &row) { return flashwell::test::testName(row.param.what); });

TEST(WriteShaping, UnnumberedDeviceAlwaysGetsALeadingZero)
{
    std::array<uint8_t, 64> report{};
    report[0] = 0x00; // our own first byte is 0x00 too: it must still reach the wire
    report[1] = 0x16;
    report[63] = 0xEE;
    const auto out = shapeOutputReport(report, false);
    ASSERT_EQ(out.size(), 65u);
    EXPECT_EQ(out[0], 0x00);
    EXPECT_EQ(out[1], 0x00);
    EXPECT_EQ(out[2], 0x16);
    EXPECT_EQ(out[64], 0xEE);
}

TEST(WriteShaping, NumberedDeviceGetsOurBytesAsTheyAre)
{
    std::array<uint8_t, 64> report{};
    report[0] = 0x01;
    report[63] = 0xEE;
    const auto out = shapeOutputReport(report, true);
    ASSERT_EQ(out.size(), 64u);
    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(out[63], 0xEE);
}
