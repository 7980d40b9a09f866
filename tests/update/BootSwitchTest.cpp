// Catches: a device switched into update mode the wrong way, or with the wrong report, command or value.
#include "update/BootSwitch.h"
#include "device/SFenwykDevice.h"

#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "support/FakeCatalogue.h"
#include "support/TestSupport.h"

namespace flashwell::boot_switch {

// Failure messages show a decision as its step and its report's bytes.
[[maybe_unused]] void PrintTo(const Decision &d, std::ostream *os)
{
    static const char *const steps[] = {"read PID",      "HJZ read",       "query the bootloader",
                                        "switch report", "D-input switch", "guide"};
    *os << steps[static_cast<int>(d.step)] << " " << int(d.reportId) << "/" << int(d.command) << "/" << int(d.value);
}

} // namespace flashwell::boot_switch

using namespace flashwell;
using boot_switch::Decision;
using boot_switch::Facts;
using boot_switch::Step;

namespace {

// A device on screen, switchable and attached unless a row says otherwise.
Facts device(uint16_t pid, uint16_t vid = 0x2DC8, uint16_t cataloguePid = 0, float version = 1.0f)
{
    Facts f;
    f.switchable = true;
    f.attached = true;
    f.pid = pid;
    f.vid = vid;
    f.cataloguePid = cataloguePid;
    f.version = version;
    return f;
}

Facts withRelease(Facts f, int32_t type, float version)
{
    f.releaseType = type;
    f.releaseVersion = version;
    return f;
}

Facts withBootloader(Facts f)
{
    f.bootloaderAttached = true;
    return f;
}

Facts unswitchable(Facts f)
{
    f.switchable = false;
    return f;
}

Facts detached(Facts f)
{
    f.attached = false;
    return f;
}

Decision report(uint8_t reportId, uint8_t command, uint8_t value)
{
    return {Step::SwitchReport, reportId, command, value};
}

struct SwitchCase
{
    const char *name;
    Facts facts;
    Decision expected;
};

// Failure messages name the case instead of dumping its bytes.
[[maybe_unused]] void PrintTo(const SwitchCase &c, std::ostream *os)
{
    *os << c.name;
}

class BootSwitchTable : public ::testing::TestWithParam<SwitchCase>
{
};

} // namespace

TEST_P(BootSwitchTable, DecidesOneStep)
{
    const SwitchCase &c = GetParam();
    EXPECT_EQ(boot_switch::changeBoot(c.facts), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, BootSwitchTable,
    ::testing::Values(
        // A switchable, attached device.
        SwitchCase{"SecondGenPadIdentifiesDirectly", device(0x2000), {Step::ReadPid}},
        SwitchCase{"HjzBootloaderIsReadDirectly", device(0x3209), {Step::HjzRead}},
        SwitchCase{"SecondGenPadBeforeAnAttachedBootloader", withBootloader(device(0x2000)), {Step::ReadPid}},
        SwitchCase{"AttachedBootloaderOfTheHjzFamily", withBootloader(device(0x3011, 0x2DC8, 0x23FB)), {Step::HjzRead}},
        SwitchCase{
            "AttachedBootloaderIsQueried", withBootloader(device(0x3011, 0x2DC8, 0x3011)), {Step::QueryBootloader}},
        SwitchCase{"AttachedBootloaderBeforeTheSwitchReport",
                   withBootloader(device(0x2009, 0x057E, 0x3100, 2.0f)),
                   {Step::QueryBootloader}},
        SwitchCase{"SwitchModeNewCommandAbove1_3", device(0x2009, 0x057E, 0x3100, 1.31f), report(0x01, 0x51, 0x00)},
        SwitchCase{"SwitchModeNewCommandFor3104", device(0x2009, 0x057E, 0x3104, 1.5f), report(0x01, 0x51, 0x00)},
        SwitchCase{"SwitchModeAt1_30IsNotAbove1_3", device(0x2009, 0x057E, 0x3100, 1.30f), report(0x01, 0x50, 0x01)},
        SwitchCase{"SwitchModeOtherProductOldCommand", device(0x2009, 0x057E, 0x3102, 2.0f), report(0x01, 0x50, 0x01)},
        SwitchCase{"SwitchModeWithoutEntryOldCommand", device(0x2009, 0x057E, 0, 2.0f), report(0x01, 0x50, 0x01)},
        SwitchCase{"SonyModeNewReleaseOfType8", withRelease(device(0x05C4, 0x054C), 8, 1.31f),
                   report(0x05, 0x50, 0x00)},
        SwitchCase{"SonyModeNewReleaseOfType21", withRelease(device(0x05C4, 0x054C), 21, 2.0f),
                   report(0x05, 0x50, 0x00)},
        SwitchCase{"SonyModeReleaseAt1_30", withRelease(device(0x05C4, 0x054C), 8, 1.30f), report(0x05, 0x50, 0x01)},
        SwitchCase{"SonyModeReleaseOfAnotherType", withRelease(device(0x05C4, 0x054C), 12, 2.0f),
                   report(0x05, 0x50, 0x01)},
        SwitchCase{"SonyModeWithoutRelease", device(0x05C4, 0x054C), report(0x05, 0x50, 0x01)},
        SwitchCase{"SonyModeDeviceVersionPlaysNoPart", withRelease(device(0x05C4, 0x054C, 0, 2.0f), 8, 1.0f),
                   report(0x05, 0x50, 0x01)},
        SwitchCase{
            "SwitchPidUnderAnotherVendorFallsToDinput", device(0x2009, 0x2DC8, 0x3100, 2.0f), {Step::DinputSwitch}},
        SwitchCase{"SonyPidUnderAnotherVendorFallsToDinput",
                   withRelease(device(0x05C4, 0x2DC8), 8, 2.0f),
                   {Step::DinputSwitch}},
        SwitchCase{"AnyOtherDeviceTakesTheDinputSwitch", device(0x3011), {Step::DinputSwitch}},
        // Not switchable, or not attached.
        SwitchCase{"UnswitchableGoesToTheAttachedBootloader",
                   withBootloader(unswitchable(device(0x3011))),
                   {Step::QueryBootloader}},
        SwitchCase{"UnswitchableHjzFamilyGoesToTheHjzSession",
                   withBootloader(unswitchable(device(0x3011, 0x2DC8, 0x23FB))),
                   {Step::HjzRead}},
        SwitchCase{"DetachedGoesToTheAttachedBootloader",
                   withBootloader(detached(device(0x2009, 0x057E, 0x3100))),
                   {Step::QueryBootloader}},
        SwitchCase{"UnswitchableWithoutBootloaderShowsTheGuide", unswitchable(device(0x3011)), {Step::Guide}},
        SwitchCase{"UnswitchablePadIsNotIdentified", unswitchable(device(0x2000)), {Step::Guide}},
        SwitchCase{
            "UnswitchableSwitchModeIsNotSwitched", unswitchable(device(0x2009, 0x057E, 0x3100, 2.0f)), {Step::Guide}},
        SwitchCase{"DetachedHjzBootloaderShowsTheGuide", detached(device(0x3209)), {Step::Guide}},
        SwitchCase{"NoDeviceWithABootloader", withBootloader(Facts{}), {Step::QueryBootloader}},
        SwitchCase{"NoDeviceAtAll", Facts{}, {Step::Guide}}),
    [](const auto &row) { return std::string(row.param.name); });

// The three ways in answer only for what they know; changeBoot tries them in order.
TEST(BootSwitch, EachWayAnswersOnlyForItsDevices)
{
    const Facts sony = withRelease(device(0x05C4, 0x054C), 8, 2.0f);
    const Facts pro = device(0x2009, 0x057E, 0x3100, 2.0f);
    EXPECT_FALSE(boot_switch::bootBoot(sony));
    EXPECT_FALSE(boot_switch::switchBoot(sony));
    EXPECT_EQ(boot_switch::macBoot(sony), report(0x05, 0x50, 0x00));
    EXPECT_FALSE(boot_switch::macBoot(pro));
    EXPECT_EQ(boot_switch::switchBoot(pro), report(0x01, 0x51, 0x00));
    EXPECT_EQ(boot_switch::bootBoot(withBootloader(pro)), Decision{Step::QueryBootloader});
}

// The facts as the controller gathers them from its device record and release.
TEST(BootSwitch, FactsComeFromTheRecordItsEntryAndTheRelease)
{
    const test::ScopedCatalogue catalogue({test::entry(0x3100, 0x2DC8, 17, "Fenwyk Crane")});
    auto record = std::make_shared<SFenwykDevice>();
    record->pid = 0x3100;
    record->vid = 0x2DC8;
    record->setVersion(1.31f);
    record->isChangeBoot = true;

    const Facts f = Facts::of(record.get(), test::release(1.5f, 0, 21), true);
    EXPECT_TRUE(f.switchable);
    EXPECT_FALSE(f.attached) << "a record without its HID device";
    EXPECT_EQ(f.pid, 0x3100);
    EXPECT_EQ(f.vid, 0x2DC8);
    EXPECT_EQ(f.cataloguePid, 0x3100);
    EXPECT_FLOAT_EQ(f.version, 1.31f);
    ASSERT_TRUE(f.releaseType);
    EXPECT_EQ(*f.releaseType, 21);
    EXPECT_FLOAT_EQ(f.releaseVersion, 1.5f);
    EXPECT_TRUE(f.bootloaderAttached);

    const Facts none = Facts::of(nullptr, std::nullopt, false);
    EXPECT_FALSE(none.switchable);
    EXPECT_FALSE(none.releaseType);
    EXPECT_EQ(none.cataloguePid, 0);
    EXPECT_EQ(boot_switch::changeBoot(none).step, Step::Guide);
}
