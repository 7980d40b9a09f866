// Catches: a window that does not list, offer, write and bring home a demo device, or keeps no history of it.
#include "app/Application.h"
#include "app/AppDelegate.h"
#include "app/SMainMenu.h"
#include "app/ViewController.h"
#include "boot/SHIDBootHJZ.h"
#include "boot/SHIDBootVela2.h"
#include "demo/DemoLab.h"
#include "device/SHIDHJZ.h"
#include "models/FlashMemory.h"
#include "net/SHttp.h"
#include "net/ServerConfig.h"
#include "platform/VirtualScheduler.h"
#include "rigs/MixedTimePump.h"
#include "screens/UpdateView.h"
#include "ui/SButton.h"
#include "update/FirmwareCatalogueClient.h"
#include "update/UpdateHistory.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMainWindow>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTemporaryDir>
#include <QTest>

#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>

using namespace flashwell;
using flashwell::lab::DemoLab;
using State = UpdateSessionController;

namespace {

// Runs the event loop (for the loopback server) and virtual time (for the devices and timers)
// together until `done` holds; false when it does not within the real-time bound. Virtual time
// runs at most twice as fast as real time, so that a download over loopback, which takes real
// time, never looks to the update's 20-second watchdog like a stalled device.
bool pump(VirtualScheduler &clock, const std::function<bool()> &done, int boundMs = 60000)
{
    lab::MixedTimePump pump(clock);
    pump.maxSpeedup = 2;
    return pump.runUntil(done, boundMs);
}

// The whole application, offscreen, on the lab's virtual bus and its firmware servers: a device
// is plugged in, listed, offered a newer release, updated with the offer, and the user goes home.
struct DemoDevice
{
    int slot;
    // The lab's HJZ bootloader does not reset into normal mode on its own.
    bool returnsInNormalMode;
};

// Test names and failure messages show the case, not its bytes.
inline void PrintTo(const DemoDevice &c, std::ostream *os)
{
    *os << "demo device " << c.slot;
}

class ApplicationTest : public ::testing::TestWithParam<DemoDevice>
{
};

TEST_P(ApplicationTest, PlugListOfferUpdateAndGoHome)
{
    QTemporaryDir dir;
    VirtualScheduler clock;
    DemoLab lab(clock, dir.path());
    ASSERT_TRUE(lab.start());
    ServerConfig::install(lab.serverConfig());
    SHttp::network().setProxy(QNetworkProxy::NoProxy);

    SHIDBootVela2 vela2({&clock, &lab.bus()});
    SHIDBootHJZ hjz({&clock, &lab.bus()});
    SHIDHJZ hjzWatcher({&clock, &lab.bus()});
    std::vector<int> terminated;
    ViewController::Services services;
    services.platform = {&clock, &lab.bus()};
    services.update = [&] {
        return UpdateServices{{&clock, &lab.bus()}, &vela2, &hjz, &hjzWatcher, &FirmwareCatalogueClient::shared()};
    };
    services.terminate = [&](int status) { terminated.push_back(status); };
    services.historyPath = dir.filePath(QStringLiteral("history.jsonl"));
    AppDelegate appDelegate;
    std::unique_ptr<QMainWindow> window = Application::createMainWindow(std::move(services), appDelegate);
    ViewController *vc = Application::controllerOf(*window);
    window->show();

    const DemoDevice param = GetParam();
    const int crane = param.slot;
    const int type = lab.deviceType(crane);
    lab.plug(crane);
    ASSERT_TRUE(pump(clock, [&] { return vc->homeView()->devices().size() == 1; }));
    const auto lines = vc->homeView()->FindsView->findChildren<QAbstractButton *>();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0]->text().contains(QStringLiteral(" V1.00 "))) << lines[0]->text().toStdString();

    // The server's newest release (1.10) is offered on the update screen.
    ASSERT_TRUE(pump(clock, [&] {
        return !vc->views().isEmpty() && vc->views().last() == vc->updateView()
               && vc->updateScreen().isSetNewFirmware();
    }));
    UpdateSessionController &screen = vc->updateScreen();
    ASSERT_TRUE(pump(clock, [&] { return !screen.model().panelLine.isEmpty(); }));

    std::vector<int> progress;
    std::vector<uint64_t> states;
    QObject::connect(&screen, &UpdateSessionController::modelChanged, [&] {
        if (screen.state() == State::kStateWriting || screen.state() == State::kStateFinished)
            if (progress.empty() || progress.back() != static_cast<int>(vc->updateView()->updateButton()->m_progress()))
                progress.push_back(static_cast<int>(vc->updateView()->updateButton()->m_progress()));
    });
    QObject::connect(&screen, &UpdateSessionController::stateChanged,
                     [&](quint64 s) { states.push_back(static_cast<uint64_t>(s)); });

    QString alert;
    QObject::connect(&screen, &UpdateSessionController::alertRequested,
                     [&](const QString &, const QString &message) { alert = message; });

    // The first layout pass shows the offer with the update button; pressing it takes the offer.
    ASSERT_EQ(screen.state(), State::kStateReady);
    ASSERT_FALSE(vc->updateView()->updateButton()->isHidden());
    QTest::mouseClick(vc->updateView()->updateButton(), Qt::LeftButton);
    ASSERT_TRUE(
        pump(clock, [&] { return screen.state() == State::kStateFinished || screen.state() == State::kStateFailed; }));
    ASSERT_EQ(screen.state(), State::kStateFinished)
        << alert.toStdString() << " after states " << ::testing::PrintToString(states);
    // The button empties when writing starts and then fills as a progress bar: the reported
    // percentages never go back, and end full. (A session may announce the start again before
    // each piece, emptying the button for an instant that is never painted; those zeros are
    // left out.)
    EXPECT_NE(std::find(states.begin(), states.end(), State::kStateWriting), states.end());
    std::vector<int> filled;
    const auto start = std::find(progress.begin(), progress.end(), 0);
    std::copy_if(start, progress.end(), std::back_inserter(filled), [](int p) { return p > 0; });
    ASSERT_FALSE(filled.empty()) << ::testing::PrintToString(progress);
    EXPECT_TRUE(std::is_sorted(filled.begin(), filled.end())) << ::testing::PrintToString(progress);
    EXPECT_EQ(filled.back(), 100);

    // The device's flash holds the release's image.
    const lab::DemoRelease *release = lab.release(type, DemoLab::kNewerVersion);
    ASSERT_NE(release, nullptr);
    ASSERT_NE(lab.flash(crane), nullptr);
    EXPECT_EQ(lab.flash(crane)->read(release->flashAddress, static_cast<uint32_t>(release->flashImage.size())),
              release->flashImage);

    // Home again, with the device back in normal mode at its new version.
    QTest::mouseClick(vc->updateView()->updateButton(), Qt::LeftButton);
    EXPECT_EQ(vc->views().size(), 1);
    if (param.returnsInNormalMode) {
        ASSERT_TRUE(pump(clock, [&] {
            const SFenwykDevicePtr d = vc->homeView()->moreDevice();
            return d && d->version() > 1.05f;
        }));
        EXPECT_FLOAT_EQ(vc->homeView()->moreDevice()->version(), 1.10f);
    }
    EXPECT_TRUE(terminated.empty());

    // The attempt is in the update history, as a success from 1.00 to 1.10.
    const UpdateHistory::Contents history = UpdateHistory(dir.filePath(QStringLiteral("history.jsonl"))).read();
    ASSERT_EQ(history.records.size(), 1);
    EXPECT_EQ(history.records[0].outcome, UpdateHistoryRecord::Outcome::Success);
    EXPECT_EQ(history.records[0].toVersion, QStringLiteral("1.10"));

    window.reset();
    SMainMenu::setMainMenu(nullptr);
    ServerConfig::install(std::nullopt);
}

// The bootloader families are the integration paths' to vary; here one that comes back in normal
// mode and the HJZ one that does not.
INSTANTIATE_TEST_SUITE_P(DemoDevices, ApplicationTest, ::testing::Values(DemoDevice{0, true}, DemoDevice{2, false}),
                         [](const auto &row) { return "slot" + std::to_string(row.param.slot); });

} // namespace
