// Catches: releases misordered, offered below a device's minimum, or named, marked or noted wrongly.
#include "update/FirmwareListRules.h"
#include "device/SFenwykDevice.h"

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace flashwell;
using flashwell::test::entry;
using flashwell::test::ScopedCatalogue;

namespace {

Firmware release(float version, int beta, const char *fileName = "Pad_V1.bin", const char *date = "2026-11-30")
{
    Firmware f;
    f.version = version;
    f.beta = beta;
    f.setFileName(QString::fromLatin1(fileName));
    f.date = QString::fromLatin1(date);
    return f;
}

using Described = std::vector<std::string>;

// "1.02/1", with "/<file name>" when it is not the usual one.
Described describe(const QList<Firmware> &list)
{
    Described out;
    for (const Firmware &f : list) {
        QString text = QString::asprintf("%.2f/%d", static_cast<double>(f.version), f.beta);
        if (f.fileName() != QStringLiteral("Pad_V1.bin"))
            text += QLatin1Char('/') + f.fileName();
        out.push_back(text.toStdString());
    }
    return out;
}

SFenwykDevice deviceWith(uint16_t pid, uint16_t bootVersion = 0, float version = 1.0f)
{
    SFenwykDevice d;
    d.pid = pid;
    d.vid = 0x2DC8;
    d.bootVersion = bootVersion;
    d.setVersion(version);
    return d;
}

} // namespace

TEST(FirmwareListRules, OrdersByVersionPlusBetaThenFileName)
{
    QList<Firmware> list{release(1.00f, 0), release(1.02f, 1), release(1.02f, 0), release(1.01f, 0)};
    firmware_list::sortReleases(list);
    EXPECT_EQ(describe(list), (Described{"1.02/1", "1.02/0", "1.01/0", "1.00/0"}));

    QList<Firmware> ties{release(1.0f, 0, "A_V1.bin"), release(1.0f, 0, "C_V1.bin"), release(1.0f, 0, "B_V1.bin")};
    firmware_list::sortReleases(ties);
    EXPECT_EQ(describe(ties), (Described{"1.00/0/C_V1.bin", "1.00/0/B_V1.bin", "1.00/0/A_V1.bin"}));
}

TEST(FirmwareListRules, OrderKeyIsComputedInSinglePrecision)
{
    // beta 3 of 1.02 sorts between 1.02 and 1.03, with the key as a float sum.
    EXPECT_EQ(firmware_list::orderKey(release(1.02f, 3)), 1.02f + 3.0f * 0.001f);
    EXPECT_EQ(firmware_list::orderKey(release(1.02f, 0)), 1.02f);
    EXPECT_EQ(firmware_list::orderKey(release(1.02f, -4)), 1.02f) << "only betas from 1 count";
    QList<Firmware> list{release(1.03f, 0), release(1.02f, 3), release(1.02f, 0)};
    firmware_list::sortReleases(list);
    EXPECT_EQ(describe(list), (Described{"1.03/0", "1.02/3", "1.02/0"}));
}

struct MinimumCase
{
    const char *name;
    uint16_t cataloguePid;
    uint16_t bootVersion;
    Described kept;
};

// Test names and failure messages show the case, not its bytes.
inline void PrintTo(const MinimumCase &c, std::ostream *os)
{
    *os << c.name;
}

class FirmwareListMinimum : public ::testing::TestWithParam<MinimumCase>
{
};

TEST_P(FirmwareListMinimum, DropsWhatTheDeviceMustNotBeOffered)
{
    const MinimumCase &c = GetParam();
    ScopedCatalogue catalogue({entry(c.cataloguePid, 0x2DC8, 26, "Fenwyk Test")});
    SFenwykDevice device = deviceWith(c.cataloguePid, c.bootVersion);
    const QList<Firmware> list{release(5.03f, 0), release(5.02f, 1), release(5.02f, 0),
                               release(1.37f, 0), release(1.37f, 2), release(1.36f, 0),
                               release(1.03f, 0), release(1.03f, 1), release(1.02f, 0)};
    EXPECT_EQ(describe(firmware_list::orderedForDevice(list, device)), c.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FirmwareListMinimum,
    ::testing::Values(
        MinimumCase{
            "pid6006AnyBoot", 0x6006, 0, {"5.03/0", "5.02/1", "5.02/0", "1.37/2", "1.37/0", "1.36/0", "1.03/0"}},
        MinimumCase{"pid6002Boot104",
                    0x6002,
                    0x104,
                    {"5.03/0", "5.02/1", "5.02/0", "1.37/2", "1.37/0", "1.36/0", "1.03/1", "1.03/0", "1.02/0"}},
        MinimumCase{"pid6002Boot105", 0x6002, 0x105, {"5.03/0", "5.02/0"}},
        MinimumCase{"pid6000Boot106", 0x6000, 0x106, {"5.03/0", "5.02/1", "5.02/0", "1.37/0"}},
        MinimumCase{"pid6001Boot105", 0x6001, 0x105, {"5.03/0", "5.02/1", "5.02/0", "1.37/0"}},
        MinimumCase{"pid6001Boot104",
                    0x6001,
                    0x104,
                    {"5.03/0", "5.02/1", "5.02/0", "1.37/2", "1.37/0", "1.36/0", "1.03/1", "1.03/0", "1.02/0"}}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(FirmwareListRules, FilterKeepsReleaseBuildsOfTheMinimumAndNeverReorders)
{
    const QList<Firmware> list{release(1.02f, 0), release(1.04f, 0), release(1.03f, 1), release(1.03f, 0)};
    EXPECT_EQ(describe(firmware_list::filterVersion(list, 1.03f)), (Described{"1.04/0", "1.03/0"}));
    EXPECT_TRUE(firmware_list::filterVersion(list, 9.0f).isEmpty());
}

TEST(FirmwareListRules, RowTextsNamesAndKits)
{
    ScopedCatalogue catalogue({entry(0x5002, 0x2DC8, 50, "Fenwyk Bolt Pro Mod Kit"), entry(0x3011, 0x2DC8, 12, "H")});
    SFenwykDevice pad = deviceWith(0x3011);
    EXPECT_EQ(firmware_list::rowText(release(1.02f, 0, "Heron_V1.02.bin", "2026-11-30"), pad),
              QStringLiteral("2026-11-30  Heron V1.02"));
    EXPECT_EQ(firmware_list::rowText(release(1.02f, 3, "Heron_V1.02_V2.bin", "d"), pad),
              QStringLiteral("d  Heron V1.02 beta 3"));
    EXPECT_EQ(firmware_list::rowText(release(2.5f, 0, "no-marker.bin", ""), pad),
              QStringLiteral("  no-marker.bin V2.50"));
    EXPECT_EQ(firmware_list::rowText(release(1.0f, 0, "", "d"), pad), QStringLiteral("d   V1.00"));

    SFenwykDevice kit = deviceWith(0x5002);
    EXPECT_EQ(firmware_list::rowText(release(1.1f, 0, "Whatever_V1.bin", "d"), kit),
              QStringLiteral("d  BoltPro Modkit V1.10"));
    EXPECT_EQ(firmware_list::logTitle(release(1.1f, 0, "Whatever_V1.bin", "d"), kit),
              QStringLiteral("d  BoltProModkit V1.10"));
    // A kit is also recognised by the device's own pid.
    SFenwykDevice byOwnPid = deviceWith(0x5004);
    EXPECT_EQ(firmware_list::kitName(byOwnPid).value_or(QString()), QStringLiteral("BoltMini Modkit"));
}

TEST(FirmwareListRules, NewMarkComparesTheExactVersion)
{
    SFenwykDevice device = deviceWith(0x3011, 0, 1.02f);
    EXPECT_EQ(firmware_list::newMark(release(1.02f, 0), device), QString());
    EXPECT_EQ(firmware_list::newMark(release(1.02f, 2), device), QString()) << "the beta plays no part";
    EXPECT_EQ(firmware_list::newMark(release(1.03f, 0), device), QStringLiteral("NEW"));
}

TEST(FirmwareListRules, NotesKeepPiecesOfTwoOrMoreCharacters)
{
    Firmware f = release(1.0f, 0);
    f.readme = QStringLiteral("一、修复\n\nx\n二、改进");
    f.readme_en = QStringLiteral("Fixes\n-\n\nMore\n");
    EXPECT_EQ(firmware_list::logContent(f, true), QStringLiteral("一、修复\n\n二、改进\n\n"));
    EXPECT_EQ(firmware_list::logContent(f, false), QStringLiteral("Fixes\n\nMore\n\n"));
    f.readme_en.clear();
    EXPECT_EQ(firmware_list::logContent(f, false), QString());
}

TEST(FirmwareListRules, RowsAndScroller)
{
    EXPECT_FALSE(firmware_list::hasScroller(6));
    EXPECT_EQ(firmware_list::visibleRows(6), 6);
    EXPECT_TRUE(firmware_list::hasScroller(7));
    EXPECT_EQ(firmware_list::visibleRows(1000), 7);
    EXPECT_EQ(firmware_list::visibleRows(0), 0);
}

TEST(FirmwareListRules, V2TypesAreRefiledInPlace)
{
    EXPECT_EQ(firmware_list::v2Type(1), 13);
    EXPECT_EQ(firmware_list::v2Type(2), 18);
    EXPECT_EQ(firmware_list::v2Type(3), 17);
    EXPECT_EQ(firmware_list::v2Type(4), 4);
}
