// Catches: controls out of step with the state, presses doing the wrong thing, a wrong list, hint, watchdog, switch
// report or session.
#include "update/UpdateSessionController.h"
#include "models/FirmwareFileBuilder.h"
#include "models/VirtualClassicBootloader.h"
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
    // The watchdog reads a last sign of life at 0 as idle: start the clock past it.
    UpdateControllerTest()
    {
        controller.setDelegate(&root);
        clock.advance(1000);
    }
    // A ready screen for the Heron at 1.00 offered 1.05; the download waits for the test.
    void showHeron(bool switchable = true)
    {
        server.downloadMode = FakeCatalogue::Download::Wait;
        show(plugDevice(0x3011, 0x2DC8, 1.0f, switchable), {release(1.05f)});
    }

    RootSpy root;
};

const std::string kVersionQuery = "05 00 16 01 00 04";

} // namespace

TEST_F(UpdateControllerTest, EachStateShowsItsControls)
{
    using P = UpdateScreenModel::Placement;
    using C = ScreenColour;
    struct Step
    {
        uint64_t state;
        bool listHidden, panelHidden, updateHidden, leftHidden, rightHidden;
        int progress;
        C background, highlight;
        const char *left, *right; // titles, null: not checked
        P placement;
    };
    const Step steps[] = {
        {State::kStateReady, false, true, false, true, true, 100, C::Blue, C::Red, nullptr, nullptr, P::Choice},
        {State::kStateOffer, true, false, true, false, false, 100, C::Blue, C::Red, "other", "update", P::Choice},
        // Preparing, the guide and the hardware revision leave the controls as they were.
        {State::kStatePreparing, true, false, true, false, false, 100, C::Blue, C::Red, "other", "update", P::Choice},
        {State::kStateManual, true, false, true, false, false, 100, C::Blue, C::Red, "other", "update", P::Choice},
        {State::kStateHardwareRevision, true, false, true, false, false, 100, C::Blue, C::Red, "other", "update",
         P::Choice},
        {State::kStateWriting, true, false, true, false, false, 100, C::Red, C::Red, "other", "update", P::Choice},
        {State::kStateFinished, true, false, true, true, true, 100, C::Red, C::Red, "close", "updateNext", P::Finished},
        {State::kStateFailed, true, false, true, true, true, 0, C::Red, C::Red, "close", "updateNext", P::Finished},
    };
    show(plugDevice(0x3011, 0x2DC8, 1.0f), {release(1.05f)});
    const UpdateScreenModel &m = controller.model();
    EXPECT_FALSE(m.devicePictureHidden);
    EXPECT_FALSE(m.hintHidden);
    EXPECT_TRUE(m.hintLabelHidden);
    EXPECT_EQ(m.updateButton.title, tr("update"));
    for (const Step &s : steps) {
        SCOPED_TRACE(s.state);
        if (s.state != State::kStateReady)
            controller.setState(s.state);
        EXPECT_EQ(m.listHidden, s.listHidden);
        EXPECT_EQ(m.panelHidden, s.panelHidden);
        EXPECT_EQ(m.updateButton.hidden, s.updateHidden);
        EXPECT_EQ(m.leftButton.hidden, s.leftHidden);
        EXPECT_EQ(m.rightButton.hidden, s.rightHidden);
        EXPECT_EQ(m.updateButton.progress, s.progress);
        EXPECT_EQ(m.updateButton.background, s.background);
        EXPECT_EQ(m.updateButton.highlight, s.highlight);
        if (s.left) {
            EXPECT_EQ(m.leftButton.title, tr(s.left));
            EXPECT_EQ(m.rightButton.title, tr(s.right));
        }
        EXPECT_EQ(m.sideButtons, s.placement);
    }
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
    uint64_t stateAfter;
};

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
    ASSERT_EQ(terminate.count(), c.terminates ? 1 : 0);
    if (c.terminates) {
        EXPECT_EQ(terminate.at(0).at(0).toInt(), 0);
    }
    EXPECT_EQ(backs, c.postsBack ? 1 : 0);
    EXPECT_EQ(controller.state(), c.stateAfter);
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
    controller.setState(State::kStateOffer);
    controller.setNewFirmwaer(release(1.07f, 2));
    EXPECT_EQ(controller.model().panelLine, tr("newversion") + QStringLiteral(" v1.07 beta 2"));
    EXPECT_EQ(controller.model().panelNotes, QStringLiteral("Notes"));
    controller.SButtonClick(State::Button::Right);
    ASSERT_EQ(server.downloads.size(), 1u);
    EXPECT_EQ(server.downloads[0].version, 1.07f);
    EXPECT_EQ(controller.model().updateButton.title, tr("prepareUpdate"));

    // Shown again with the offer: once the layout ran, the offer is the list, in state 0.
    controller.removeFromSuperview();
    controller.setState(State::kStateOffer);
    controller.setNewFirmwaer(release(1.07f));
    controller.loadViews();
    EXPECT_EQ(controller.state(), State::kStateReady);
    EXPECT_TRUE(server.lists.empty()) << "an existing list is not fetched again";
    EXPECT_FALSE(controller.model().panelHidden);
    ASSERT_TRUE(controller.updateFirmwaers());
    EXPECT_EQ(controller.updateFirmwaers()->size(), 1);
    EXPECT_FALSE(controller.loadViews()) << "once per showing";
}

TEST_F(UpdateControllerTest, UpdateWithoutARowDoesNothing)
{
    show(plugDevice(0x3011, 0x2DC8, 1.0f), {});
    EXPECT_FALSE(controller.model().notFirmwareHidden);
    controller.SButtonClick(State::Button::Update);
    EXPECT_EQ(controller.state(), State::kStateReady);
    // A checked row past a new, shorter list (the view keeps its tag).
    controller.removeFromSuperview();
    show(plugDevice(0x2000, 0x2DC8, 1.0f), {release(1.3f), release(1.2f), release(1.1f)});
    controller.chengeboxClick(2);
    controller.SMiniImageViewClick(State::Picture::Receiver);
    server.answer({release(2.0f)});
    controller.chengeboxClick(2);
    controller.SButtonClick(State::Button::Update);
    EXPECT_TRUE(server.downloads.empty());
    EXPECT_EQ(controller.state(), State::kStateReady);
}

TEST_F(UpdateControllerTest, ListFailureShowsReloadWhichAsksAgainForThePictureShown)
{
    controller.setDevice(plugDevice(0x2000, 0x2DC8, 1.0f));
    controller.setminiImageposition(1);
    controller.loadViews();
    EXPECT_FALSE(controller.model().spinnerHidden);
    const struct
    {
        State::Picture picture;
        int type;
    } rows[] = {{State::Picture::Device, 48}, {State::Picture::Receiver, 49}, {State::Picture::Device, 48}};
    for (const auto &row : rows) {
        controller.SMiniImageViewClick(row.picture);
        server.lists.back().failure({QStringLiteral("Network"), 1, QStringLiteral("refused")});
        EXPECT_TRUE(controller.model().spinnerHidden);
        EXPECT_FALSE(controller.model().reloadHidden);
        controller.reloadClic();
        EXPECT_TRUE(controller.model().reloadHidden);
        EXPECT_FALSE(controller.model().spinnerHidden);
        EXPECT_EQ(server.lists.back().type, row.type);
    }
}

TEST_F(UpdateControllerTest, HintLines)
{
    controller.setDevice(plugDevice(0x3011, 0x2DC8, 0.0f));
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

    // The next showing names no earlier target.
    controller.removeFromSuperview();
    show(plugDevice(0x3011, 0x2DC8, 1.0f), {release(1.05f, 2)});
    ASSERT_TRUE(controller.model().hint.contains(QStringLiteral("v1.05")));
    controller.removeFromSuperview();
    controller.setDevice(plugDevice(0x3100, 0x2DC8, 2.0f));
    controller.loadViews();
    server.lists.back().failure({QStringLiteral("Error"), 1, QStringLiteral("offline")});
    EXPECT_FALSE(controller.model().hint.contains(QStringLiteral("1.05")));
    EXPECT_FALSE(controller.model().hint.contains(QStringLiteral("beta 2")));
    EXPECT_EQ(controller.targetBeta(), 0);
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
    controller.SHIDBootGetVersion(std::make_shared<SFenwykDevice>(), nullptr);
    EXPECT_EQ(controller.version(), 1.2f) << "a version of 0 changes nothing";
}

// Signs of life keep an update going; without them it ends in the error guide 20 to 23 s after the
// last, and so does a restart after it, when the bootloader is plugged in again.
TEST_F(UpdateControllerTest, WatchdogEndsAStalledUpdateAndARestartIsWatchedToo)
{
    showHeron();
    controller.updateingError();
    EXPECT_EQ(controller.state(), State::kStateReady) << "no update error without an attempt";
    controller.SButtonClick(State::Button::Update);
    ASSERT_TRUE(controller.updateTimerRunning());
    for (int i = 0; i < 8; ++i) {
        clock.advance(5000);
        controller.SHIDBootStartUpdateing(i * 10, nullptr);
    }
    HidDevice *boot = plugSilent(0x3208);
    controller.SHIDBootStartUpdate(nullptr);
    QSignalSpy guide(&controller, &UpdateSessionController::guideShown);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const int64_t lastLife = clock.nowMs();
        while (!controller.model().guideShown && clock.nowMs() < lastLife + 60000)
            clock.advance(100);
        EXPECT_GE(clock.nowMs() - lastLife, State::kNoSignOfLifeMs);
        EXPECT_LE(clock.nowMs() - lastLife, State::kNoSignOfLifeMs + State::kWatchdogPeriodMs);
        EXPECT_FALSE(controller.updateTimerRunning());
        EXPECT_FALSE(controller.sessionRunning()) << "a stalled session stops talking, so the screen can be left";
        ASSERT_EQ(guide.count(), round + 1);
        EXPECT_TRUE(guide.at(round).at(0).toBool()) << "the guide in its error form";
        EXPECT_TRUE(controller.model().guideError);
        // The user re-plugs the device in its bootloader: the same attempt restarts, watched.
        bus.unplug(boot);
        clock.runPending();
        boot = plugSilent(0x3208);
        EXPECT_TRUE(controller.updateTimerRunning());
        EXPECT_FALSE(controller.model().guideShown);
    }
}

TEST_F(UpdateControllerTest, ProductMismatchNamesBothProductsInChinese)
{
    test::ScopedLanguages chinese({QStringLiteral("zh-Hans-CN")});
    QSignalSpy alerts(&controller, &UpdateSessionController::alertRequested);
    controller.SHIDBootErrorNOEqualPID(nullptr, 0x3011, 0x9020);
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0).at(1).toString(), QStringLiteral("选中的固件为 \"") + SFenwykDevice::getNameWithPid(0x3011)
                                                 + QStringLiteral("\" 与当前更新的 \"")
                                                 + SFenwykDevice::getNameWithPid(0x9020) + QStringLiteral("\" 不匹配"));
}

TEST_F(UpdateControllerTest, ABootloaderArrivingIsAnnouncedAndQueriedAndInState7Restarted)
{
    showHeron();
    bus.clearLog();
    HidDevice *first = plugSilent(0x3208);
    clock.advance(1000);
    EXPECT_EQ(root.bootDevices, 1);
    EXPECT_EQ(sent(), std::vector<std::string>{kVersionQuery}) << "while ready: no readPID, no repeat";
    bus.unplug(first);
    clock.runPending();

    controller.removeFromSuperview();
    show(plugDevice(0x3011, 0x2DC8, 0.0f), {release(1.05f)});
    controller.SButtonClick(State::Button::Update);
    controller.updateingError();
    ASSERT_EQ(controller.state(), State::kStateFailed);
    bus.clearLog();
    plugSilent(0x3208);
    EXPECT_EQ(root.bootDevices, 2);
    EXPECT_FALSE(controller.model().guideShown);
    // At once: the version query, then the second-generation session's product ID read; 0.5 s
    // later the repeated version query (no version yet) and the short frame 0x1A.
    EXPECT_EQ(sent(2), (std::vector<std::string>{"05 00", "05 08"}));
    EXPECT_EQ(sent()[0], kVersionQuery);
    clock.advance(499);
    EXPECT_EQ(bus.outputLog().size(), 2u);
    clock.advance(1);
    ASSERT_EQ(bus.outputLog().size(), 4u);
    EXPECT_EQ(sent()[2], kVersionQuery);
    EXPECT_EQ(sent()[3], "06 00 1a 01 00 00");
}

TEST_F(UpdateControllerTest, ABootloaderLeavingEndsTheUpdateOnlyWhileWriting)
{
    for (const uint16_t pid : {0x3208, 0x3209}) {
        SCOPED_TRACE(pid);
        controller.removeFromSuperview();
        showHeron();
        controller.SButtonClick(State::Button::Update);
        HidDevice *boot = plugSilent(pid);
        ASSERT_EQ(controller.state(), State::kStatePreparing);
        bus.unplug(boot);
        clock.runPending();
        EXPECT_EQ(controller.bootState(), 0u);
        EXPECT_EQ(controller.state(), State::kStatePreparing);

        boot = plugSilent(pid);
        if (pid == 0x3209)
            controller.SHIDBootHJZUpdateing(&hjz, 0);
        else
            controller.SHIDBootStartUpdate(nullptr);
        EXPECT_EQ(controller.state(), State::kStateWriting);
        bus.unplug(boot);
        clock.runPending();
        EXPECT_EQ(controller.state(), State::kStateFailed);
        EXPECT_TRUE(controller.model().guideError);
    }
}

struct SwitchCase
{
    const char *name;
    uint16_t pid;
    uint16_t vid;
    uint16_t cataloguePid;
    float deviceVersion;
    int releaseType;
    std::vector<std::string> reports; // first 6 bytes of each report sent by the switch
};

inline void PrintTo(const SwitchCase &c, std::ostream *os)
{
    *os << c.name;
}

class BootSwitching : public UpdateControllerTest, public ::testing::WithParamInterface<SwitchCase>
{
};

// Which way is taken is BootSwitch's; here, that the decision goes out as its reports.
TEST_P(BootSwitching, SendsTheReportsOfTheDecision)
{
    const SwitchCase &c = GetParam();
    auto device = plugDevice(c.pid, c.vid, c.deviceVersion);
    device->setDetails(entry(c.cataloguePid, 0x2DC8, 17, "Fenwyk Test"));
    show(device, {release(2.0f, 0, c.releaseType)});
    bus.clearLog();
    controller.SButtonClick(State::Button::Update);
    EXPECT_EQ(sent(), c.reports);
    EXPECT_EQ(controller.state(), State::kStatePreparing);
    EXPECT_EQ(controller.model().updateButton.background, controller.model().updateButton.highlight);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, BootSwitching,
    ::testing::Values(SwitchCase{"switchOldCommand", 0x2009, 0x057E, 0x9020, 2.0f, 36, {"01 66 aa 00 50 01"}},
                      SwitchCase{"switchNewCommand", 0x2009, 0x057E, 0x3100, 1.31f, 17, {"01 66 aa 00 51 00"}},
                      SwitchCase{"sonyType8", 0x05C4, 0x054C, 0x3110, 1.0f, 8, {"05 66 aa 00 50 00"}},
                      SwitchCase{"dinputPlain", 0x3116, 0x2DC8, 0x3116, 2.0f, 18, {"06 00 50 01 00 00"}},
                      SwitchCase{"dinputExtended",
                                 0x3100,
                                 0x2DC8,
                                 0x3100,
                                 2.0f,
                                 17,
                                 {"06 00 50 01 00 00", "81 05 00 51 00 00", "81 05 00 51 00 00", "81 05 00 51 00 00"}}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(UpdateControllerTest, AKnownBootloaderIsUsedWithoutTheGuideElseTheGuideWaitsForIt)
{
    for (const bool bootloaderFirst : {true, false}) {
        SCOPED_TRACE(bootloaderFirst);
        controller.removeFromSuperview();
        show(plugDevice(0x3020, 0x2DC8, 1.0f, false), {release(1.05f, 0, 2)});
        HidDevice *boot = bootloaderFirst ? plugSilent(0x5750) : nullptr;
        bus.clearLog();
        QSignalSpy guide(&controller, &UpdateSessionController::guideShown);
        controller.SButtonClick(State::Button::Update);
        if (bootloaderFirst) {
            EXPECT_FALSE(controller.model().guideShown);
            EXPECT_EQ(controller.state(), State::kStatePreparing);
            EXPECT_EQ(sent(), std::vector<std::string>{kVersionQuery});
            bus.unplug(boot);
            clock.runPending();
            continue;
        }
        EXPECT_EQ(controller.state(), State::kStateManual);
        ASSERT_EQ(guide.count(), 1);
        EXPECT_FALSE(guide.at(0).at(0).toBool());
        EXPECT_TRUE(bus.outputLog().empty());
        // The bootloader's arrival removes the guide and starts the session.
        plugSilent(0x3208);
        EXPECT_FALSE(controller.model().guideShown);
        EXPECT_EQ(sent(2), (std::vector<std::string>{"05 00", "05 08"}));
    }
}

TEST_F(UpdateControllerTest, PadAndHjzProductsGoToTheirSessions)
{
    // 0x2000: the second-generation session reads the product ID of the attached bootloader.
    show(plugDevice(0x2000, 0x2DC8, 1.0f), {release(1.05f, 0, 48)});
    plugSilent(0x3208);
    bus.clearLog();
    controller.SButtonClick(State::Button::Update);
    ASSERT_EQ(bus.outputLog().size(), 1u);
    EXPECT_EQ(bus.outputLog()[0].productId, 0x3208);
    EXPECT_EQ(bus.outputLog()[0].bytes[1], 0x08);

    // 0x23FB with its HJZ bootloader known: the HJZ session starts on the downloaded file, and
    // refuses an empty one before anything is erased, saying so.
    QTemporaryDir dir;
    server.path = test::writeTempFile(dir, QByteArray(64, '\0'), "hjz.bin");
    controller.removeFromSuperview();
    show(plugDevice(0x23FB, 0x2DC8, 1.0f), {release(1.05f, 0, 47)});
    plugSilent(0x3209);
    EXPECT_EQ(controller.bootState(), 1u);
    QSignalSpy alerts(&controller, &UpdateSessionController::alertRequested);
    controller.SButtonClick(State::Button::Update);
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_TRUE(alerts.at(0).at(1).toString().contains(QStringLiteral("page")))
        << qPrintable(alerts.at(0).at(1).toString());
}

TEST_F(UpdateControllerTest, LeavingClearsTheShowingAndLateAnswersAreDropped)
{
    controller.setDevice(plugDevice(0x3011, 0x2DC8, 1.0f));
    controller.loadViews();
    controller.removeFromSuperview();
    EXPECT_FALSE(controller.isloadData());
    EXPECT_FALSE(controller.selectButton());
    EXPECT_TRUE(controller.shidBoot().filePath.isNull());
    server.answer({release(9.0f)}, 0);
    EXPECT_FALSE(controller.updateFirmwaers()) << "the answer for the previous showing";

    controller.loadViews();
    ASSERT_EQ(server.lists.size(), 2u) << "re-entering fetches the list again";
    server.answer({release(1.05f)});
    ASSERT_TRUE(controller.updateFirmwaers());

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

    // Not chosen by hand: one picture, not clickable.
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
