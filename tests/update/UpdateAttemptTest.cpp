// Catches: a write without a press, the wrong release written, two attempts at once, an ending unannounced.
#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "models/FirmwareFileBuilder.h"
#include "models/VirtualClassicBootloader.h"
#include "models/VirtualHjzBootloader.h"
#include "models/VirtualVela2Bootloader.h"
#include "platform/Bundle.h"
#include "update/UpdateSessionController.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "support/UpdateScreenRig.h"

using namespace flashwell;
using flashwell::test::FakeCatalogue;
using flashwell::test::release;
using State = UpdateSessionController;

namespace {

class AttemptTest : public ::testing::Test, protected test::UpdateScreenRig
{
protected:
    // The watchdog reads a last sign of life of 0 as idle: start the clock past it.
    AttemptTest() { clock.advance(1000); }

    bool filesForgotten()
    {
        return controller.shidBoot().filePath.isEmpty() && vela2.filePath.isEmpty() && hjz.filePath.isEmpty();
    }

    QTemporaryDir dir;
};

enum class Bootloader { Classic, SecondGeneration, Hjz };
enum class Moment { AfterSuccess, AfterAlert, OnAnOffer };

using ArrivalCase = std::tuple<Bootloader, Moment>;

class BootloaderOutsideAnAttempt : public AttemptTest, public ::testing::WithParamInterface<ArrivalCase>
{
};

// After an update wrote its file (the sessions held its path), a bootloader that arrives while no
// attempt runs is announced and asked its version, and nothing reaches its flash.
TEST_P(BootloaderOutsideAnAttempt, IsWrittenNothing)
{
    const auto [bootloader, moment] = GetParam();
    const uint64_t state =
        std::array{State::kStateFinished, State::kStateReady, State::kStateOffer}.at(static_cast<std::size_t>(moment));
    QByteArray file;
    if (bootloader == Bootloader::Classic) {
        lab::ClassicFirmware fw;
        fw.data = lab::patternBytes(2048, 3);
        file = fw.build();
    } else if (bootloader == Bootloader::SecondGeneration) {
        file = lab::buildVela2File({{105, 0, 0x01018000, 0x9025, lab::patternBytes(3000, 4)}});
    } else {
        lab::HjzFirmware fw;
        fw.data = lab::patternBytes(4 * 1024, 5);
        file = fw.build();
    }
    server.path = test::writeTempFile(dir, file);
    show(plugDevice(0x3011, 0x2DC8, 1.0f), {release(1.05f)});
    controller.SButtonClick(State::Button::Update);
    ASSERT_TRUE(controller.attemptRunning());
    if (moment == Moment::AfterAlert) {
        controller.SHIDBootErrorString(nullptr, QStringLiteral("erase reply missing"));
    } else {
        controller.SHIDBootStartUpdate(nullptr);
        controller.SHIDBootStartUpdateed(nullptr);
    }
    if (moment == Moment::OnAnOffer) {
        controller.removeFromSuperview();
        controller.setState(State::kStateOffer);
        controller.setNewFirmwaer(release(1.10f));
    }
    ASSERT_EQ(controller.state(), state);
    EXPECT_FALSE(controller.attemptRunning());

    std::unique_ptr<lab::VirtualDeviceModel> boot;
    std::function<bool()> flashEmpty;
    if (bootloader == Bootloader::Classic) {
        auto *classic = new lab::VirtualClassicBootloader(bus);
        flashEmpty = [classic] { return classic->flash().empty() && !classic->header(); };
        boot.reset(classic);
    } else if (bootloader == Bootloader::SecondGeneration) {
        auto *second = new lab::VirtualVela2Bootloader(bus, 0x9025);
        second->useLabLayout();
        flashEmpty = [second] { return second->flash().empty(); };
        boot.reset(second);
    } else {
        auto *pages = new lab::VirtualHjzBootloader(bus);
        flashEmpty = [pages] { return pages->flash().empty() && pages->erases() == 0; };
        boot.reset(pages);
    }
    boot->plug();
    clock.advance(10000);
    EXPECT_EQ(controller.bootState(), 1u) << "announced";
    EXPECT_TRUE(flashEmpty());
    EXPECT_EQ(controller.state(), state);
}

std::string arrivalName(const ::testing::TestParamInfo<ArrivalCase> &info)
{
    static const char *const bootloaders[] = {"classic", "secondGen", "hjz"};
    static const char *const moments[] = {"AfterSuccess", "AfterAlert", "OnAnOffer"};
    return std::string(bootloaders[static_cast<int>(std::get<0>(info.param))])
           + moments[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(
    EveryBootloader, BootloaderOutsideAnAttempt,
    ::testing::Combine(::testing::Values(Bootloader::Classic, Bootloader::SecondGeneration, Bootloader::Hjz),
                       ::testing::Values(Moment::AfterSuccess, Moment::AfterAlert, Moment::OnAnOffer)),
    arrivalName);

// Every way an attempt ends stops its watchdog, forgets its files and is announced once, with its
// outcome and cause; one that ends in an alert leaves the screen ready, and no update error
// follows later.
TEST_F(AttemptTest, EveryEndingStopsTheWatchdogForgetsTheFilesAndIsAnnouncedOnce)
{
    using Outcome = AttemptEnd::Outcome;
    using Cause = AttemptEnd::Cause;
    const QString sure = Bundle::localizedString("sure");
    struct Ending
    {
        const char *name;
        std::function<void()> end;
        Outcome outcome;
        Cause cause;
        bool writing = false; // the session reported writing before the end
        QString alert = {};   // the alert's button, if one is shown
        QString message = {};
        bool listShown = true; // after the alert
    };
    const std::vector<Ending> endings{
        {"success", [&] { controller.SHIDBootStartUpdateed(nullptr); }, Outcome::Success, Cause::Finished, true},
        {"hjz success", [&] { controller.SHIDBootHJZUpdateSuccess(&hjz); }, Outcome::Success, Cause::Finished, true},
        {"download failed", nullptr, Outcome::Failed, Cause::DownloadFailed, false, QStringLiteral("Error"),
         QStringLiteral("the file is 12 bytes long"), false},
        {"not supported", [&] { controller.SHIDBootNotSupportFirmware(nullptr); }, Outcome::Failed, Cause::Alert, false,
         sure, Bundle::localizedString("NotSupport")},
        {"session error", [&] { controller.SHIDBootErrorString(nullptr, QStringLiteral("no reply")); }, Outcome::Failed,
         Cause::Alert, false, sure, QStringLiteral("no reply")},
        {"hjz failure", [&] { controller.SHIDBootHJZUpdateFail(&hjz, QStringLiteral("page 2 checksum")); },
         Outcome::Failed, Cause::Alert, true},
        {"product mismatch", [&] { controller.SHIDBootErrorNOEqualPID(nullptr, 0x3011, 0x9020); }, Outcome::Failed,
         Cause::Alert, false, QStringLiteral("Error"), QString()},
        {"leaving", [&] { controller.removeFromSuperview(); }, Outcome::Cancelled, Cause::Left},
        {"stopped before writing", [&] { controller.stopAttempt(Cause::Stopped, QStringLiteral("stop")); },
         Outcome::Cancelled, Cause::Stopped},
        {"stopped while writing", [&] { controller.stopAttempt(Cause::Stopped, QStringLiteral("stop")); },
         Outcome::Interrupted, Cause::Stopped, true},
    };
    std::vector<AttemptEnd> ends;
    int starts = 0;
    QObject::connect(&controller, &UpdateSessionController::attemptStarted, [&] { ++starts; });
    QObject::connect(&controller, &UpdateSessionController::attemptEnded,
                     [&](const AttemptEnd &end) { ends.push_back(end); });
    for (const Ending &e : endings) {
        SCOPED_TRACE(e.name);
        controller.removeFromSuperview();
        server.downloadMode = e.end ? FakeCatalogue::Download::Succeed : FakeCatalogue::Download::Fail;
        show(plugDevice(0x3011, 0x2DC8, 1.0f), {release(1.05f)});
        starts = 0;
        ends.clear();
        QSignalSpy alerts(&controller, &UpdateSessionController::alertRequested);
        controller.SButtonClick(State::Button::Update);
        if (e.end) {
            ASSERT_TRUE(controller.updateTimerRunning());
            ASSERT_FALSE(controller.shidBoot().filePath.isEmpty());
            ASSERT_FALSE(vela2.filePath.isEmpty());
            ASSERT_FALSE(hjz.filePath.isEmpty());
            if (e.writing)
                controller.SHIDBootStartUpdate(nullptr);
            e.end();
        }
        EXPECT_FALSE(controller.attemptRunning());
        EXPECT_FALSE(controller.updateTimerRunning());
        EXPECT_TRUE(filesForgotten());
        EXPECT_FALSE(controller.model().releaseFixed);
        EXPECT_EQ(starts, 1);
        ASSERT_EQ(ends.size(), 1u);
        EXPECT_EQ(ends[0].outcome, e.outcome);
        EXPECT_EQ(ends[0].cause, e.cause);
        if (!e.alert.isEmpty()) {
            ASSERT_EQ(alerts.count(), 1);
            EXPECT_EQ(alerts.at(0).at(0).toString(), e.alert);
            EXPECT_EQ(alerts.at(0).at(1).toString(), e.message);
            EXPECT_EQ(controller.state(), State::kStateReady);
            EXPECT_EQ(controller.model().listHidden, !e.listShown);
            clock.advance(60000);
            EXPECT_EQ(controller.state(), State::kStateReady) << "no update error without an update";
        }
        // Nothing more is said about an attempt that ended.
        controller.removeFromSuperview();
        EXPECT_EQ(ends.size(), 1u);
    }
}

TEST_F(AttemptTest, TheReleasePressedForIsTheOneWrittenAndNamed)
{
    // A device in its Sony identity: the switch report depends on the release's type and version.
    auto swift = plugDevice(0x05C4, 0x054C, 1.0f);
    server.downloadMode = FakeCatalogue::Download::Wait;
    show(swift, {release(1.50f, 0, 8), release(1.00f, 0, 9)}, 1);
    ASSERT_EQ(controller.selectButton(), 0);
    controller.SButtonClick(State::Button::Update);
    const QString hint = controller.model().hint;
    EXPECT_TRUE(controller.model().releaseFixed);

    // Checking another row or clicking a picture while the file downloads changes nothing.
    controller.chengeboxClick(1);
    controller.SMiniImageViewClick(State::Picture::Receiver);
    EXPECT_EQ(controller.selectButton(), 0);
    EXPECT_EQ(controller.model().hint, hint);
    EXPECT_EQ(controller.targerVersion(), 1.50f);
    EXPECT_EQ(server.lists.size(), 1u) << "no list fetched for another picture";

    bus.clearLog();
    server.waitingSuccess(QStringLiteral("/tmp/swift.bin"));
    ASSERT_EQ(bus.outputLog().size(), 1u);
    EXPECT_EQ(test::hex(bus.outputLog()[0].bytes, 6), "05 66 aa 00 50 00") << "the switch for the type-8 release";
    ASSERT_EQ(server.downloads.size(), 1u);
    EXPECT_EQ(server.downloads[0].version, 1.50f);

    // The bootloader's version report names the release being written, not the row clicked.
    auto reported = std::make_shared<SFenwykDevice>();
    reported->setVersion(1.0f);
    controller.SHIDBootGetVersion(reported, nullptr);
    EXPECT_EQ(controller.targerVersion(), 1.50f);
    EXPECT_TRUE(controller.model().hint.contains(QStringLiteral("v1.50")));
}

TEST_F(AttemptTest, OneAttemptAtATime)
{
    lab::ClassicFirmware fw;
    fw.data = lab::patternBytes(2048, 6);
    server.path = test::writeTempFile(dir, fw.build());
    // A device that cannot be switched by a report: the guide (state 3) waits for its bootloader.
    show(plugDevice(0x3011, 0x2DC8, 1.0f, false), {release(1.05f)});
    controller.SButtonClick(State::Button::Update);
    ASSERT_EQ(controller.state(), State::kStateManual);
    lab::VirtualClassicBootloader boot(bus);
    boot.plug();
    clock.runPending();
    ASSERT_EQ(controller.bootState(), 1u);
    ASSERT_EQ(controller.state(), State::kStateManual) << "identifying, not yet writing";
    controller.SButtonClick(State::Button::Update);
    EXPECT_EQ(server.downloads.size(), 1u) << "no second download over the session that started";

    // The session writes; update and back are of no use until it ends.
    clock.advance(100);
    EXPECT_TRUE(controller.sessionRunning() || controller.state() == State::kStateFinished);
    clock.advance(5000);
    EXPECT_EQ(controller.state(), State::kStateFinished);
    EXPECT_EQ(server.downloads.size(), 1u);
    EXPECT_FALSE(controller.sessionRunning());
}

TEST_F(AttemptTest, AnHjzDeviceThatLeftDoesNotStandInForLaterSwitches)
{
    HidDevice *hjzDevice = plugSilent(0x3209);
    ASSERT_EQ(controller.bootState(), 1u);
    bus.unplug(hjzDevice);
    clock.runPending();
    EXPECT_EQ(controller.bootState(), 0u);

    // The next update of a report-switched controller switches it, with no wait for a bootloader.
    show(plugDevice(0x3100, 0x2DC8, 2.0f), {release(2.10f, 0, 17)});
    bus.clearLog();
    controller.SButtonClick(State::Button::Update);
    ASSERT_FALSE(bus.outputLog().empty());
    EXPECT_EQ(test::hex(bus.outputLog()[0].bytes, 4), "06 00 50 01") << "the D-input switch report";
    EXPECT_EQ(controller.state(), State::kStatePreparing);
}

} // namespace
