// Catches: controls out of step with the state, bad rows or hints, a wrong watchdog, switch report or session.
#include "update/UpdateSessionController.h"
#include "models/FirmwareFileBuilder.h"
#include "models/VirtualClassicBootloader.h"
#include "models/VirtualHjzBootloader.h"
#include "platform/Bundle.h"
#include "platform/NotificationCenter.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <array>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "support/UpdateScreenRig.h"

using namespace flashwell;
using flashwell::test::entry;
using flashwell::test::FakeCatalogue;
using flashwell::test::release;
using flashwell::test::ScopedLanguages;
using State = UpdateSessionController;

namespace {

QString tr(const char *key)
{
    return Bundle::localizedString(key);
}

class RootSpy final : public QObject, public UpdateViewDelegat
{
public:
    int bootDevices = 0;
    int goHomes = 0;
    void addBootDevice(UpdateSessionController *) override { ++bootDevices; }
    void goHome(UpdateSessionController *) override { ++goHomes; }
};

class UpdateControllerTest : public ::testing::Test, protected test::UpdateScreenRig
{
protected:
    UpdateControllerTest() { controller.setDelegate(&root); }

    RootSpy root;
};

const std::string kVersionQuery = "05 00 16 01 00 04";

} // namespace

TEST_F(UpdateControllerTest, EachStateShowsItsControls)
{
    show(plugDevice(0x3011, 0x2DC8, 1.0f), {release(1.05f)});
    const UpdateScreenModel &m = controller.model();
    EXPECT_FALSE(m.devicePictureHidden);
    EXPECT_FALSE(m.listHidden) << "the list arrived";
    EXPECT_FALSE(m.hintHidden);
    EXPECT_TRUE(m.hintLabelHidden);
    EXPECT_FALSE(m.updateButton.hidden);
    EXPECT_TRUE(m.leftButton.hidden);
    EXPECT_TRUE(m.rightButton.hidden);
    EXPECT_TRUE(m.panelHidden);
    EXPECT_EQ(m.updateButton.title, tr("update"));
    EXPECT_EQ(m.updateButton.progress, 100);
    EXPECT_EQ(m.updateButton.background, ScreenColour::Blue);
    EXPECT_EQ(m.updateButton.highlight, ScreenColour::Red);

    controller.setState(State::kStateOffer);
    EXPECT_TRUE(m.updateButton.hidden);
    EXPECT_TRUE(m.listHidden);
    EXPECT_FALSE(m.panelHidden);
    EXPECT_FALSE(m.leftButton.hidden);
    EXPECT_FALSE(m.rightButton.hidden);
    EXPECT_EQ(m.leftButton.title, tr("other"));
    EXPECT_EQ(m.rightButton.title, tr("update"));
    EXPECT_EQ(m.sideButtons, UpdateScreenModel::Placement::Choice);

    for (uint64_t quiet : {2, 3, 4}) {
        const UpdateScreenModel before = m;
        controller.setState(quiet);
        EXPECT_EQ(m.panelHidden, before.panelHidden);
        EXPECT_EQ(m.updateButton.hidden, before.updateButton.hidden);
        EXPECT_EQ(m.updateButton.progress, before.updateButton.progress);
    }

    controller.setState(State::kStateWriting);
    EXPECT_EQ(m.updateButton.background, ScreenColour::Red);
    EXPECT_EQ(m.updateButton.highlight, ScreenColour::Red);

    controller.setState(State::kStateFinished);
    EXPECT_TRUE(m.leftButton.hidden);
    EXPECT_TRUE(m.rightButton.hidden);
    EXPECT_EQ(m.leftButton.title, tr("close"));
    EXPECT_EQ(m.rightButton.title, tr("updateNext"));
    EXPECT_EQ(m.sideButtons, UpdateScreenModel::Placement::Finished);

    controller.setState(State::kStateFailed);
    EXPECT_EQ(m.updateButton.progress, 0);
}

struct ButtonCase
{
    uint64_t state;
    State::Button button;
    int downloads;   // downloads asked for
    int listFetches; // further list requests
    int goHomes;
    bool terminates;
    bool postsBack;
    int64_t stateAfter; // -1: whatever the press led to is checked by the counts
};

// Test names and failure messages show the case, not its bytes.
inline void PrintTo(const ButtonCase &c, std::ostream *os)
{
    *os << "state " << c.state << ", button " << static_cast<int>(c.button);
}

std::string buttonCaseName(const ::testing::TestParamInfo<ButtonCase> &row)
{
    static constexpr std::array<const char *, 3> kButtons{"update", "left", "right"};
    return "state" + std::to_string(row.param.state) + "_" + kButtons.at(static_cast<std::size_t>(row.param.button));
}

class UpdateButtons : public UpdateControllerTest, public ::testing::WithParamInterface<ButtonCase>
{
};

TEST_P(UpdateButtons, DoWhatTheirStateSays)
{
    const ButtonCase &c = GetParam();
    server.downloadMode = FakeCatalogue::Download::Wait;
    show(plugDevice(0x3011, 0x2DC8, 1.0f), {release(1.05f), release(1.04f)});
    const std::size_t listsBefore = server.lists.size();
    controller.setState(c.state);
    QSignalSpy terminate(&controller, &UpdateSessionController::terminateRequested);
    int backs = 0;
    QObject observer;
    NotificationCenter::defaultCenter().addObserver(&observer, QStringLiteral("updateViewBack"), [&] { ++backs; });

    controller.SButtonClick(c.button);

    EXPECT_EQ(static_cast<int>(server.downloads.size()), c.downloads);
    EXPECT_EQ(static_cast<int>(server.lists.size() - listsBefore), c.listFetches);
    EXPECT_EQ(root.goHomes, c.goHomes);
    EXPECT_EQ(terminate.count(), c.terminates ? 1 : 0);
    if (c.terminates) {
        EXPECT_EQ(terminate.at(0).at(0).toInt(), 0);
    }
    EXPECT_EQ(backs, c.postsBack ? 1 : 0);
    if (c.stateAfter >= 0) {
        EXPECT_EQ(controller.state(), static_cast<uint64_t>(c.stateAfter));
    }
}

INSTANTIATE_TEST_SUITE_P(ByState, UpdateButtons,
                         ::testing::Values(ButtonCase{0, State::Button::Update, 1, 0, 0, false, false, 2},
                                           ButtonCase{1, State::Button::Update, 1, 0, 0, false, false, 2},
                                           ButtonCase{2, State::Button::Update, 0, 0, 0, false, false, 2},
                                           ButtonCase{3, State::Button::Update, 1, 0, 0, false, false, 2},
                                           ButtonCase{4, State::Button::Update, 1, 0, 0, false, false, 2},
                                           ButtonCase{5, State::Button::Update, 0, 0, 0, false, false, 5},
                                           ButtonCase{6, State::Button::Update, 0, 0, 1, false, false, 6},
                                           ButtonCase{7, State::Button::Update, 1, 0, 0, false, false, 2},
                                           ButtonCase{1, State::Button::Left, 0, 1, 0, false, false, 0},
                                           ButtonCase{6, State::Button::Left, 0, 0, 0, true, false, 6},
                                           ButtonCase{0, State::Button::Left, 0, 0, 0, false, false, 0},
                                           ButtonCase{1, State::Button::Right, 1, 0, 0, false, false, 2},
                                           ButtonCase{6, State::Button::Right, 0, 0, 0, false, true, 6},
                                           ButtonCase{7, State::Button::Right, 0, 0, 0, false, false, 7}),
                         buttonCaseName);

TEST_F(UpdateControllerTest, AnOfferIsTheWholeListAndItsRightButtonDownloadsIt)
{
    server.downloadMode = FakeCatalogue::Download::Wait;
    controller.setDevice(plugDevice(0x3011, 0x2DC8, 1.0f));
    controller.setminiImageposition(0);
    controller.setState(State::kStateOffer);
    controller.setNewFirmwaer(release(1.07f, 2));
    EXPECT_EQ(controller.model().panelLine, tr("newversion") + QStringLiteral(" v1.07 beta 2"));
    EXPECT_EQ(controller.model().panelNotes, QStringLiteral("Notes"));
    controller.SButtonClick(State::Button::Right);
    ASSERT_EQ(server.downloads.size(), 1u);
    EXPECT_EQ(server.downloads[0].version, 1.07f);
    EXPECT_TRUE(controller.model().leftButton.hidden);
    EXPECT_FALSE(controller.model().updateButton.hidden);
    EXPECT_EQ(controller.model().updateButton.title, tr("prepareUpdate"));

    // Shown again with the offer: once the layout ran, the offer is the list, in state 0.
    controller.removeFromSuperview();
    controller.setState(State::kStateOffer);
    controller.setNewFirmwaer(release(1.07f));
    controller.loadViews();
    EXPECT_EQ(controller.state(), State::kStateReady);
    EXPECT_TRUE(server.lists.empty()) << "an existing list is not fetched again";
    EXPECT_FALSE(controller.model().panelHidden);
    EXPECT_FALSE(controller.model().updateButton.hidden);
    EXPECT_TRUE(controller.model().leftButton.hidden);
    ASSERT_TRUE(controller.updateFirmwaers());
    EXPECT_EQ(controller.updateFirmwaers()->size(), 1);
    EXPECT_FALSE(controller.loadViews()) << "once per showing";
}

TEST_F(UpdateControllerTest, RowsAreOrderedFilteredAndTheFirstIsChecked)
{
    show(plugDevice(0x3011, 0x2DC8, 1.02f),
         {release(1.00f), release(1.02f, 1), release(1.02f), release(1.01f, 0, 12, "Heron")});
    const auto &rows = controller.model().rows;
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0].name, QStringLiteral("2026-11-30  Heron V1.02 beta 1"));
    EXPECT_EQ(rows[1].name, QStringLiteral("2026-11-30  Heron V1.02"));
    EXPECT_EQ(rows[3].name, QStringLiteral("2026-11-30  Heron V1.00"));
    EXPECT_EQ(rows[0].newMark, QString()) << "the device runs exactly 1.02";
    EXPECT_TRUE(rows[0].checked);
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const ReleaseRow &r) { return r.checked; }), 1);
    EXPECT_FALSE(controller.model().scroller);
    EXPECT_TRUE(controller.model().notFirmwareHidden);

    controller.chengeboxClick(2);
    controller.chengeboxClick(2);
    EXPECT_TRUE(rows[2].checked);
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const ReleaseRow &r) { return r.checked; }), 1);
    EXPECT_EQ(controller.targerVersion(), 1.01f);
    EXPECT_EQ(controller.targetBeta(), 0);
}

TEST_F(UpdateControllerTest, EmptyListShowsNotFirmwareAndUpdateDoesNothing)
{
    show(plugDevice(0x3011, 0x2DC8, 1.0f), {});
    EXPECT_FALSE(controller.model().notFirmwareHidden);
    EXPECT_TRUE(controller.model().rows.isEmpty());
    controller.SButtonClick(State::Button::Update);
    EXPECT_TRUE(server.downloads.empty());
    EXPECT_EQ(controller.state(), State::kStateReady);
}

TEST_F(UpdateControllerTest, ACheckedRowPastANewShorterListDoesNothing)
{
    auto device = plugDevice(0x2000, 0x2DC8, 1.0f);
    show(device, {release(1.3f), release(1.2f), release(1.1f)});
    controller.chengeboxClick(2);
    controller.SMiniImageViewClick(State::Picture::Receiver);
    server.answer({release(2.0f)});
    controller.chengeboxClick(2); // the stale checked row (the view keeps its tag)
    controller.SButtonClick(State::Button::Update);
    EXPECT_TRUE(server.downloads.empty());
    EXPECT_EQ(controller.state(), State::kStateReady);
}

TEST_F(UpdateControllerTest, HugeAndSloppyListsRender)
{
    QList<Firmware> list;
    for (int i = 0; i < 1000; ++i) {
        Firmware f;
        f.version = static_cast<float>(i % 17) * 0.01f;
        f.beta = i % 3 - 1;
        f.fileSize = -i;
        if (i % 2)
            f.setFileName(QStringLiteral("plain name"));
        list.append(f);
    }
    show(plugDevice(0x3011, 0x2DC8, 1.0f), list);
    EXPECT_EQ(controller.model().rows.size(), 1000);
    EXPECT_TRUE(controller.model().scroller);
    EXPECT_TRUE(controller.model().rows[0].checked);
}

TEST_F(UpdateControllerTest, ListFailureShowsReloadWhichAsksAgainForThePictureShown)
{
    controller.setDevice(plugDevice(0x2000, 0x2DC8, 1.0f));
    controller.setminiImageposition(1);
    controller.loadViews();
    EXPECT_FALSE(controller.model().spinnerHidden);
    ASSERT_EQ(server.lists.size(), 1u);
    EXPECT_EQ(server.lists[0].type, 48);
    server.lists[0].failure({QStringLiteral("Network"), 1, QStringLiteral("refused")});
    EXPECT_TRUE(controller.model().spinnerHidden);
    EXPECT_FALSE(controller.model().reloadHidden);
    controller.reloadClic();
    EXPECT_TRUE(controller.model().reloadHidden);
    EXPECT_FALSE(controller.model().spinnerHidden);
    EXPECT_EQ(server.lists.size(), 2u);
    EXPECT_EQ(server.lists.back().type, 48);
    // With the receiver's picture chosen, reload asks for the receiver's list.
    controller.SMiniImageViewClick(State::Picture::Receiver);
    server.lists.back().failure({QStringLiteral("Error"), 1, QStringLiteral("offline")});
    controller.reloadClic();
    EXPECT_EQ(server.lists.back().type, 49);
    controller.SMiniImageViewClick(State::Picture::Device);
    server.lists.back().failure({QStringLiteral("Error"), 1, QStringLiteral("offline")});
    controller.reloadClic();
    EXPECT_EQ(server.lists.back().type, 48);
}

TEST_F(UpdateControllerTest, HintLines)
{
    auto device = plugDevice(0x3011, 0x2DC8, 0.0f);
    controller.setDevice(device);
    EXPECT_EQ(controller.getFirmwaerHintVersion(0.0f, 0, 1.02f), QString()) << "version 0 in state 0";
    controller.setNewFirmwaer(release(1.02f, 1));
    EXPECT_EQ(controller.getFirmwaerHintVersion(1.01f, 2, 1.02f), tr("willUpdateFirmwaer") + QStringLiteral("1.01")
                                                                      + tr("beta") + QStringLiteral(" 2") + tr("to")
                                                                      + QStringLiteral(" v1.02 beta 1 "));
    controller.setNewFirmwaer(release(1.5f));
    controller.setState(State::kStateWriting);
    EXPECT_EQ(controller.getFirmwaerHintVersion(0.0f, 0, 1.5f),
              tr("willUpdateFirmwaering") + QStringLiteral("0.00") + tr("to") + QStringLiteral(" v1.50"));
    controller.setState(State::kStateFinished);
    EXPECT_TRUE(controller.getFirmwaerHintVersion(1.0f, 0, 1.5f).startsWith(tr("willUpdateFirmwaered")));
}

TEST_F(UpdateControllerTest, VersionReportWithoutReleaseKeepsTheTarget)
{
    show(plugDevice(0x3011, 0x2DC8, 1.0f), {release(1.5f, 3)});
    controller.chengeboxClick(0);
    controller.chengeboxClick(5); // a row past the list
    auto report = std::make_shared<SFenwykDevice>();
    report->setVersion(1.2f);
    report->beta = 4;
    controller.SHIDBootGetVersion(report, nullptr);
    EXPECT_EQ(controller.version(), 1.2f);
    EXPECT_EQ(controller.beta(), 4.0f);
    EXPECT_EQ(controller.targerVersion(), 1.5f);
    EXPECT_EQ(controller.targetBeta(), 3);

    auto zero = std::make_shared<SFenwykDevice>();
    controller.SHIDBootGetVersion(zero, nullptr);
    EXPECT_EQ(controller.version(), 1.2f) << "a version of 0 changes nothing";
}

TEST_F(UpdateControllerTest, WatchdogEndsAStalledUpdateBetween20And23Seconds)
{
    server.downloadMode = FakeCatalogue::Download::Wait;
    show(plugDevice(0x3011, 0x2DC8, 1.0f), {release(1.05f)});
    controller.SButtonClick(State::Button::Update);
    ASSERT_TRUE(controller.updateTimerRunning());
    // Signs of life every 5 s keep it going.
    for (int i = 0; i < 8; ++i) {
        clock.advance(5000);
        controller.SHIDBootStartUpdateing(i * 10, nullptr);
    }
    EXPECT_EQ(controller.state(), State::kStatePreparing);
    const int64_t lastLife = clock.nowMs();
    QSignalSpy guide(&controller, &UpdateSessionController::guideShown);
    while (controller.state() != State::kStateFailed && clock.nowMs() < lastLife + 60000)
        clock.advance(100);
    const int64_t after = clock.nowMs() - lastLife;
    EXPECT_GE(after, 20000);
    EXPECT_LE(after, 23000);
    EXPECT_FALSE(controller.updateTimerRunning());
    ASSERT_EQ(guide.count(), 1);
    EXPECT_TRUE(guide.at(0).at(0).toBool()) << "the guide in its error form";
    EXPECT_TRUE(controller.model().guideError);
}

TEST_F(UpdateControllerTest, ProductMismatchNamesBothProductsInChinese)
{
    ScopedLanguages chinese({QStringLiteral("zh-Hans-CN")});
    QSignalSpy alerts(&controller, &UpdateSessionController::alertRequested);
    controller.SHIDBootErrorNOEqualPID(nullptr, 0x3011, 0x9020);
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0).at(1).toString(), QStringLiteral("选中的固件为 \"") + SFenwykDevice::getNameWithPid(0x3011)
                                                 + QStringLiteral("\" 与当前更新的 \"")
                                                 + SFenwykDevice::getNameWithPid(0x9020) + QStringLiteral("\" 不匹配"));
}

TEST_F(UpdateControllerTest, BootloaderArrivingInState7IsQueriedAndRestarted)
{
    show(plugDevice(0x3011, 0x2DC8, 0.0f), {release(1.05f)});
    server.downloadMode = FakeCatalogue::Download::Wait;
    controller.SButtonClick(State::Button::Update);
    controller.updateingError();
    ASSERT_EQ(controller.state(), State::kStateFailed);
    bus.clearLog();
    plugSilent(0x3208);
    EXPECT_EQ(root.bootDevices, 1);
    EXPECT_EQ(controller.bootState(), 1u);
    EXPECT_FALSE(controller.model().guideShown);
    // At once: the version query, then the second-generation session's product ID read.
    ASSERT_EQ(bus.outputLog().size(), 2u);
    EXPECT_EQ(sent()[0], kVersionQuery);
    EXPECT_EQ(bus.outputLog()[1].bytes[0], 0x05);
    EXPECT_EQ(bus.outputLog()[1].bytes[1], 0x08) << "readPID";
    clock.advance(499);
    EXPECT_EQ(bus.outputLog().size(), 2u);
    clock.advance(1);
    // 0.5 s later: the repeated version query (no version yet) and the short frame 0x1A.
    ASSERT_EQ(bus.outputLog().size(), 4u);
    EXPECT_EQ(sent()[2], kVersionQuery);
    EXPECT_EQ(sent()[3], "06 00 1a 01 00 00");
}

TEST_F(UpdateControllerTest, BootloaderArrivingWhileReadyIsOnlyAnnounced)
{
    show(plugDevice(0x3011, 0x2DC8, 1.0f), {release(1.05f)});
    bus.clearLog();
    plugSilent(0x3208);
    clock.advance(1000);
    EXPECT_EQ(root.bootDevices, 1);
    EXPECT_EQ(sent(), std::vector<std::string>{kVersionQuery}) << "no readPID, no repeat (version known)";
}

TEST_F(UpdateControllerTest, RemovalEndsTheUpdateOnlyWhileWriting)
{
    show(plugDevice(0x3011, 0x2DC8, 1.0f), {release(1.05f)});
    server.downloadMode = FakeCatalogue::Download::Wait;
    controller.SButtonClick(State::Button::Update);
    HidDevice *boot = plugSilent(0x3208);
    ASSERT_EQ(controller.state(), State::kStatePreparing);
    bus.unplug(boot);
    clock.runPending();
    EXPECT_EQ(controller.bootState(), 0u);
    EXPECT_EQ(controller.state(), State::kStatePreparing);

    boot = plugSilent(0x3208);
    controller.SHIDBootStartUpdate(nullptr);
    EXPECT_EQ(controller.state(), State::kStateWriting);
    bus.unplug(boot);
    clock.runPending();
    EXPECT_EQ(controller.state(), State::kStateFailed);
    EXPECT_TRUE(controller.model().guideShown);
}

struct SwitchCase
{
    const char *name;
    uint16_t pid;
    uint16_t vid;
    uint16_t cataloguePid;
    float deviceVersion;
    int releaseType;
    float releaseVersion;
    std::vector<std::string> reports; // first 6 bytes of each report sent by the switch
};

inline void PrintTo(const SwitchCase &c, std::ostream *os)
{
    *os << c.name;
}

class BootSwitching : public UpdateControllerTest, public ::testing::WithParamInterface<SwitchCase>
{
};

TEST_P(BootSwitching, SendsTheReportOfTheDecisionTable)
{
    const SwitchCase &c = GetParam();
    auto device = plugDevice(c.pid, c.vid, c.deviceVersion);
    device->setDetails(entry(c.cataloguePid, 0x2DC8, 17, "Fenwyk Test"));
    device->isChangeBoot = true;
    show(device, {release(c.releaseVersion, 0, c.releaseType)});
    bus.clearLog();
    controller.SButtonClick(State::Button::Update);
    EXPECT_EQ(sent(), c.reports);
    EXPECT_EQ(controller.state(), State::kStatePreparing);
    EXPECT_EQ(controller.model().updateButton.background, controller.model().updateButton.highlight);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, BootSwitching,
    ::testing::Values(
        // 1.30 is stored slightly below 1.3 as a float: the older command.
        SwitchCase{"switch3100At130", 0x2009, 0x057E, 0x3100, 1.30f, 17, 2.0f, {"01 66 aa 00 50 01"}},
        SwitchCase{"switch3100At131", 0x2009, 0x057E, 0x3100, 1.31f, 17, 2.0f, {"01 66 aa 00 51 00"}},
        SwitchCase{"switchOtherProduct", 0x2009, 0x057E, 0x9020, 2.0f, 36, 2.0f, {"01 66 aa 00 50 01"}},
        SwitchCase{"sonyType8Newer", 0x05C4, 0x054C, 0x3110, 1.0f, 8, 1.31f, {"05 66 aa 00 50 00"}},
        SwitchCase{"sonyType8At130", 0x05C4, 0x054C, 0x3110, 9.0f, 8, 1.30f, {"05 66 aa 00 50 01"}},
        // Switch identity with another vendor ID falls through to the D-input switch.
        SwitchCase{"switchPidWrongVid", 0x2009, 0x1234, 0x3100, 2.0f, 17, 2.0f, {"06 00 50 01 00 00"}},
        SwitchCase{"dinputExtended",
                   0x3100,
                   0x2DC8,
                   0x3100,
                   2.0f,
                   17,
                   2.0f,
                   {"06 00 50 01 00 00", "81 05 00 51 00 00", "81 05 00 51 00 00", "81 05 00 51 00 00"}},
        SwitchCase{"dinputPlain", 0x3116, 0x2DC8, 0x3116, 2.0f, 18, 2.0f, {"06 00 50 01 00 00"}}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(UpdateControllerTest, AKnownBootloaderIsUsedWithoutTheGuide)
{
    auto device = plugDevice(0x3020, 0x2DC8, 1.0f, false);
    show(device, {release(1.05f, 0, 2)});
    plugSilent(0x5750);
    bus.clearLog();
    controller.SButtonClick(State::Button::Update);
    EXPECT_FALSE(controller.model().guideShown);
    EXPECT_EQ(controller.state(), State::kStatePreparing);
    EXPECT_EQ(sent(), std::vector<std::string>{kVersionQuery});
}

TEST_F(UpdateControllerTest, ADeviceThatCannotBeSwitchedGetsTheGuide)
{
    auto device = plugDevice(0x3020, 0x2DC8, 1.0f, false);
    show(device, {release(1.05f, 0, 2)});
    bus.clearLog();
    QSignalSpy guide(&controller, &UpdateSessionController::guideShown);
    controller.SButtonClick(State::Button::Update);
    EXPECT_EQ(controller.state(), State::kStateManual);
    ASSERT_EQ(guide.count(), 1);
    EXPECT_FALSE(guide.at(0).at(0).toBool());
    EXPECT_TRUE(bus.outputLog().empty());
    // The bootloader's arrival removes the guide and starts the session.
    plugSilent(0x3208);
    EXPECT_FALSE(controller.model().guideShown);
    ASSERT_EQ(bus.outputLog().size(), 2u);
    EXPECT_EQ(bus.outputLog()[1].bytes[1], 0x08);
}

TEST_F(UpdateControllerTest, PadAndHjzProductsGoToTheirSessions)
{
    // 0x2000: the second-generation session reads the product ID of the attached bootloader.
    auto pad = plugDevice(0x2000, 0x2DC8, 1.0f);
    show(pad, {release(1.05f, 0, 48)});
    plugSilent(0x3208);
    bus.clearLog();
    controller.SButtonClick(State::Button::Update);
    ASSERT_EQ(bus.outputLog().size(), 1u);
    EXPECT_EQ(bus.outputLog()[0].productId, 0x3208);
    EXPECT_EQ(bus.outputLog()[0].bytes[1], 0x08);

    // 0x23FB with its HJZ bootloader known: the HJZ session starts on the downloaded file.
    QTemporaryDir dir;
    server.path = test::writeTempFile(dir, QByteArray(64, '\0'), "hjz.bin");
    controller.removeFromSuperview();
    auto grebe = plugDevice(0x23FB, 0x2DC8, 1.0f);
    show(grebe, {release(1.05f, 0, 47)});
    plugSilent(0x3209);
    EXPECT_EQ(controller.bootState(), 1u);
    QSignalSpy alerts(&controller, &UpdateSessionController::alertRequested);
    controller.SButtonClick(State::Button::Update);
    // The empty file is refused before anything is erased, and says so.
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_TRUE(alerts.at(0).at(1).toString().contains(QStringLiteral("page")))
        << qPrintable(alerts.at(0).at(1).toString());
}

TEST_F(UpdateControllerTest, LeavingClearsTheShowingAndLateAnswersAreDropped)
{
    auto device = plugDevice(0x3011, 0x2DC8, 1.0f);
    controller.setDevice(device);
    controller.loadViews();
    controller.removeFromSuperview();
    EXPECT_FALSE(controller.isloadData());
    EXPECT_FALSE(controller.updateFirmwaers());
    EXPECT_FALSE(controller.selectButton());
    EXPECT_TRUE(controller.shidBoot().filePath.isNull());
    server.answer({release(9.0f)}, 0);
    EXPECT_FALSE(controller.updateFirmwaers()) << "the answer for the previous showing";

    controller.loadViews();
    ASSERT_EQ(server.lists.size(), 2u) << "re-entering fetches the list again";
    server.answer({release(1.05f)});
    ASSERT_TRUE(controller.updateFirmwaers());
    EXPECT_EQ(controller.updateFirmwaers()->first().version, 1.05f);

    server.downloadMode = FakeCatalogue::Download::Wait;
    controller.SButtonClick(State::Button::Update);
    controller.removeFromSuperview();
    EXPECT_FALSE(controller.updateTimerRunning());
    bus.clearLog();
    server.waitingSuccess(QStringLiteral("/tmp/late.bin"));
    EXPECT_TRUE(bus.outputLog().empty()) << "a download for a screen that was left switches nothing";
    EXPECT_TRUE(controller.savePath().isEmpty());
}

TEST_F(UpdateControllerTest, ReceiverPictureSwitchesTheList)
{
    auto pad = plugDevice(0x2000, 0x2DC8, 1.0f);
    controller.setDevice(pad);
    controller.setminiImageposition(1);
    EXPECT_TRUE(controller.isShowMiniRRImage());
    EXPECT_TRUE(controller.model().devicePictureSelected);
    EXPECT_TRUE(controller.model().receiverPictureClickable);
    controller.loadViews();
    EXPECT_FALSE(controller.model().receiverPictureHidden);
    EXPECT_EQ(controller.model().receiverPicture, QStringLiteral("receiver_48"));
    server.answer({release(1.0f, 0, 48)});

    controller.SMiniImageViewClick(State::Picture::Receiver);
    EXPECT_EQ(pad->isManuanlViewRR, 1);
    EXPECT_TRUE(controller.model().receiverPictureSelected);
    EXPECT_FALSE(controller.model().devicePictureSelected);
    EXPECT_TRUE(controller.model().rows.isEmpty());
    EXPECT_EQ(server.lists.back().type, 49);

    controller.SMiniImageViewClick(State::Picture::Device);
    EXPECT_EQ(pad->isManuanlViewRR, 0);
    EXPECT_EQ(server.lists.back().type, 48);

    // A device without a receiver, or not chosen by hand, shows one picture, not clickable.
    controller.setminiImageposition(0);
    EXPECT_FALSE(controller.isShowMiniRRImage());
    EXPECT_FALSE(controller.model().devicePictureClickable);

    // The other product whose receiver has a picture of its own.
    controller.removeFromSuperview();
    controller.setDevice(plugDevice(0x3117, 0x2DC8, 1.0f));
    controller.setminiImageposition(1);
    controller.loadViews();
    EXPECT_EQ(controller.model().receiverPicture, QStringLiteral("receiver_57"));
}

TEST_F(UpdateControllerTest, V2RuleRefilesTheProductAndFetchesItsList)
{
    auto wren = plugDevice(0x3020, 0x2DC8, 1.0f, false);
    show(wren, {release(1.05f, 0, 2)});
    controller.noV1AndV2();
    EXPECT_EQ(controller.state(), State::kStateHardwareRevision);
    EXPECT_TRUE(controller.model().guideShown);
    EXPECT_FALSE(controller.model().guideError);

    lab::VirtualClassicBootloader boot(bus);
    boot.info.firmwareType = 200;
    boot.plug();
    clock.advance(100);
    EXPECT_EQ(controller.shidBoot().deviceInfo().firmwareType, 200u);
    EXPECT_EQ(wren->details()->type, 18);
    EXPECT_FALSE(controller.model().guideShown);
    EXPECT_EQ(server.lists.back().type, 18);
}

TEST_F(UpdateControllerTest, AnHjzModeDeviceIsUpdatedThroughItsSession)
{
    // The device the root hands over is already the HJZ bootloader (0x3209).
    lab::HjzFirmware fw;
    fw.deviceId = 387;
    fw.pageSize = 1024;
    fw.data = lab::patternBytes(8 * 1024, 9);
    QTemporaryDir dir;
    server.path = test::writeTempFile(dir, fw.build(), "hjz.bin");
    lab::VirtualHjzBootloader boot(bus, 0x08003400, 1024, 16);
    auto record = std::make_shared<SFenwykDevice>();
    record->pid = 0x3209;
    record->vid = 0x2DC8;
    record->deviceRef = boot.plug();
    record->isChangeBoot = true;
    clock.runPending();
    EXPECT_EQ(controller.bootState(), 1u);
    show(record, {release(2.0f, 0, 0)});
    controller.SButtonClick(State::Button::Update);
    clock.advance(5000);
    EXPECT_EQ(controller.state(), State::kStateFinished);
    EXPECT_EQ(boot.flash().read(0x08003400, 8 * 1024), fw.data);
    EXPECT_FALSE(controller.updateTimerRunning());
}
