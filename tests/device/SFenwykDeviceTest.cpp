// Catches: a device record given the wrong catalogue entry, or switchable when its type and version say not.
#include "device/SFenwykDevice.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace flashwell;
using flashwell::test::entry;
using flashwell::test::ScopedCatalogue;

namespace {
SFenwykDevicePtr record(uint16_t pid, uint16_t vid)
{
    auto d = std::make_shared<SFenwykDevice>();
    d->pid = pid;
    d->vid = vid;
    return d;
}
} // namespace

TEST(SFenwykDevice, DetailsMatchesPidAndVidWhileNameLookupUsesPidAlone)
{
    ScopedCatalogue scoped({entry(0x3100, 0x1111, 17, "Fenwyk First"), entry(0x3100, 0x2DC8, 18, "Fenwyk Second")});
    auto d = record(0x3100, 0x2DC8);
    ASSERT_TRUE(d->details());
    EXPECT_EQ(d->details()->storedName(), QStringLiteral("Fenwyk Second"));
    EXPECT_EQ(SFenwykDevice::getNameWithPid(0x3100), QStringLiteral("Fenwyk First"));
    EXPECT_EQ(SFenwykDevice::getNameWithPid(0), QString());
    EXPECT_FALSE(SFenwykDevice::getNameWithPid(0).isNull()) << "an empty string, not a null one";
    EXPECT_EQ(SFenwykDevice::getNameWithPid(0x7777), QString());
}

TEST(SFenwykDevice, BorrowedIdentitiesGetTheirOwnEntryEvenWhenListed)
{
    ScopedCatalogue scoped({entry(0x2009, 0x057E, 9, "Fenwyk Listed"), entry(0x05C4, 0x054C, 9, "Fenwyk Listed")});
    auto pro = record(0x2009, 0x057E);
    auto sony = record(0x05C4, 0x054C);
    ASSERT_TRUE(pro->details());
    EXPECT_EQ(pro->details()->storedName(), QStringLiteral("Pro Controller"));
    EXPECT_EQ(pro->details()->type, 0);
    EXPECT_EQ(sony->details()->storedName(), QStringLiteral("Wireless Controller"));
    // Once found, the entry is kept.
    EXPECT_EQ(pro->details(), pro->details());
}

TEST(SFenwykDevice, UnknownDeviceHasNoEntryAndSearchesAgainLater)
{
    ScopedCatalogue empty({});
    auto d = record(0x3100, 0x2DC8);
    EXPECT_EQ(d->details(), nullptr);
    SFenwykDeviceDetailsTools::replaceCatalogue({entry(0x3100, 0x2DC8, 17, "Fenwyk Crane")});
    ASSERT_TRUE(d->details());
    EXPECT_EQ(d->details()->type, 17);
}

TEST(SFenwykDevice, CarryReceiverFlagFollowsTheType)
{
    for (int type : {41, 43, 48, 51, 57, 40, 42}) {
        ScopedCatalogue scoped({entry(0x3100, 0x2DC8, type, "Fenwyk X")});
        auto d = record(0x3100, 0x2DC8);
        d->details();
        const bool carries = type == 41 || type == 43 || type == 48 || type == 51 || type == 57;
        EXPECT_EQ(d->isCarryRR != 0, carries) << type;
    }
}

struct VersionCase
{
    int32_t type;
    uint16_t entryPid;
    float version;
    bool before;
    bool after;
};

// Failure messages name the case instead of dumping its bytes.
[[maybe_unused]] void PrintTo(const VersionCase &c, std::ostream *os)
{
    *os << "type " << c.type << ", " << flashwell::test::pidName(c.entryPid) << ", version " << c.version;
}

class SetVersion : public ::testing::TestWithParam<VersionCase>
{
};

TEST_P(SetVersion, DerivesSwitchability)
{
    const VersionCase &c = GetParam();
    ScopedCatalogue scoped({entry(c.entryPid, 0x2DC8, c.type, "Fenwyk X")});
    auto d = record(c.entryPid, 0x2DC8);
    d->isChangeBoot = c.before;
    d->setVersion(c.version);
    EXPECT_EQ(d->version(), c.version);
    EXPECT_EQ(d->isChangeBoot, c.after) << "type " << c.type << " version " << c.version;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SetVersion,
    ::testing::Values(VersionCase{9, 0x3111, 1.24f, true, false}, VersionCase{9, 0x3111, 1.25f, false, true},
                      VersionCase{8, 0x3110, 1.13f, true, false}, VersionCase{8, 0x3110, 1.14f, false, true},
                      // 1.04f is just below 1.04 as a double.
                      VersionCase{39, 0x9029, 1.04f, true, false}, VersionCase{39, 0x9029, 1.05f, false, true},
                      VersionCase{4, 0x9029, 1.00f, true, false}, VersionCase{21, 0x3103, 0.0f, false, false},
                      VersionCase{21, 0x3103, 0.0f, true, true}, VersionCase{21, 0x3103, 0.5f, false, true},
                      VersionCase{26, 0x6000, 1.0f, false, true}, VersionCase{12, 0x3011, 0.1f, false, true},
                      VersionCase{2, 0x3020, 3.0f, false, false}, VersionCase{2, 0x3020, 3.0f, true, true},
                      VersionCase{19, 0x3030, 3.0f, false, false}, VersionCase{14, 0x3015, 1.0f, false, true}),
    [](const auto &row) {
        const VersionCase &c = row.param;
        return flashwell::test::testName("type" + std::to_string(c.type) + "_v" + std::to_string(c.version)
                                         + (c.before ? "_wasOn" : "_wasOff") + "_" + std::to_string(row.index));
    });

TEST(SFenwykDevice, RecordWithoutEntryBehavesAsTypeZero)
{
    ScopedCatalogue empty({});
    auto d = record(0x3100, 0x2DC8);
    d->setVersion(9.0f);
    EXPECT_FALSE(d->isChangeBoot);
}
