// Catches: a version shown, parsed or rounded wrongly.
#include "device/FirmwareVersion.h"

#include <gtest/gtest.h>

#include "support/QtPrinters.h"

#include <optional>

namespace firmware_version = flashwell::firmware_version;

namespace {

TEST(FirmwareVersion, ShownWithTwoDecimalsAndItsBeta)
{
    const struct
    {
        float version;
        int beta;
        const char *number;
        const char *text;
    } rows[] = {
        {1.01f, 0, "1.01", "1.01"},       // 1.00999999…
        {5.1f, 1, "5.10", "5.10 beta 1"}, // the second decimal is always shown
        {0.0f, 0, "0.00", "0.00"},        // a version not read yet
        {1.005f, 0, "1.00", "1.00"},      // the float as it reads, 1.00499999…
        {655.35f, 65535, "655.35", "655.35 beta 65535"},
        {2.0f, -1, "2.00", "2.00 beta -1"},      // a negative beta is a beta
        {0.01f * 102, 3, "1.02", "1.02 beta 3"}, // hundredths as the pad reports them
    };
    for (const auto &row : rows) {
        EXPECT_EQ(firmware_version::number(row.version), QString::fromLatin1(row.number)) << row.number;
        EXPECT_EQ(firmware_version::text(row.version, row.beta), QString::fromLatin1(row.text)) << row.text;
    }
}

TEST(FirmwareVersion, FromHundredthsAndRoundedToThem)
{
    const struct
    {
        uint16_t hundredths;
        const char *text;
    } texts[] = {{0, "0.00"}, {5, "0.05"}, {102, "1.02"}, {510, "5.10"}, {65535, "655.35"}};
    for (const auto &row : texts)
        EXPECT_EQ(firmware_version::fromHundredths(row.hundredths), QString::fromLatin1(row.text)) << row.text;

    const struct
    {
        float version;
        double rounded;
    } numbers[] = {{1.01f, 1.01}, {5.02f, 5.02}, {0.0f, 0.0}, {1.005f, 1.0}, {2.999f, 3.0}};
    for (const auto &row : numbers)
        EXPECT_EQ(firmware_version::rounded(row.version), row.rounded) << row.rounded;
}

TEST(FirmwareVersion, AReleaseAsAUserNamesIt)
{
    using Wanted = firmware_version::Wanted;
    const struct
    {
        const char *text;
        std::optional<Wanted> wanted;
    } rows[] = {
        {"1.05", Wanted{QStringLiteral("1.05"), 0}},
        {"1.5", Wanted{QStringLiteral("1.50"), 0}},
        {"v2", Wanted{QStringLiteral("2.00"), 0}},
        {" 1.05-beta2 ", Wanted{QStringLiteral("1.05"), 2}},
        {"1.05 BETA 2", Wanted{QStringLiteral("1.05"), 2}},
        {"1.05beta-12345", Wanted{QStringLiteral("1.05"), 12345}},
        {"999.99", Wanted{QStringLiteral("999.99"), 0}},
        {"one", std::nullopt},
        {"", std::nullopt},
        {"1.234", std::nullopt},
        {"1000", std::nullopt},
        {"1.05-beta", std::nullopt},
        {"1.05-beta123456", std::nullopt},
        {"V1.05", Wanted{QStringLiteral("1.05"), 0}}, // any case, the v too
    };
    for (const auto &row : rows) {
        const std::optional<Wanted> got = firmware_version::parseWanted(QString::fromLatin1(row.text));
        ASSERT_EQ(got.has_value(), row.wanted.has_value()) << row.text;
        if (got) {
            EXPECT_EQ(got->number, row.wanted->number) << row.text;
            EXPECT_EQ(got->beta, row.wanted->beta) << row.text;
        }
    }
}

TEST(FirmwareVersion, HundredthsFromText)
{
    const struct
    {
        const char *text;
        std::optional<uint16_t> hundredths;
    } rows[] = {
        {"1.02", 102},
        {"1", 100},
        {"1.5", 150},
        {"0.05", 5},
        {"655.35", 65535},
        {"0", 0},
        {"655.36", std::nullopt},
        {"999", std::nullopt},
        {"1.234", std::nullopt},
        {"x", std::nullopt},
        {"", std::nullopt},
        {"-1", std::nullopt},
        {" 1.02", std::nullopt},
        {"1.", std::nullopt},
        {"1000", std::nullopt},
    };
    for (const auto &row : rows)
        EXPECT_EQ(firmware_version::parseHundredths(QString::fromLatin1(row.text)), row.hundredths) << row.text;
}

} // namespace
