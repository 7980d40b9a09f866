// Catches: screens, back button and menu out of step, a covered screen reachable, quitting or leaving mid-write.
#include "app/ViewController.h"
#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/SMainMenu.h"
#include "models/VirtualClassicBootloader.h"
#include "models/VirtualDinputController.h"
#include "platform/Bundle.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "screens/MoreView.h"
#include "screens/UpdateView.h"
#include "ui/AppKitFrame.h"
#include "ui/SBackButton.h"
#include "ui/SView.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "support/ShippedDevices.h"
#include "support/TestSupport.h"
#include "support/UpdateRig.h"
#include "support/WidgetProbe.h"
#include "support/WidgetTestSupport.h"

#include <memory>

using namespace flashwell;
using State = UpdateSessionController;

namespace {

QString localized(const char *key)
{
    return Bundle::localizedString(key);
}

SFenwykDevicePtr attached(uint16_t pid)
{
    return test::shippedDevice(pid);
}

QAbstractButton *buttonTitled(QMessageBox *box, const QString &title)
{
    for (QAbstractButton *b : box->buttons())
        if (b->text() == title)
            return b;
    return nullptr;
}

class ViewControllerTest : public ::testing::Test, protected test::UpdateRig
{
protected:
    ViewControllerTest()
    {
        UserDefaults::standard().removeObjectForKey(QStringLiteral("UserDefaults_isBeta"));
        server.downloadMode = test::FakeCatalogue::Download::Wait;
        open();
    }
    ~ViewControllerTest() override
    {
        close();
        UserDefaults::standard().removeObjectForKey(QStringLiteral("UserDefaults_isBeta"));
    }
    // The main window as the application builds it, on the rig; `historyPath` as the program's.
    void open(const QString &historyPath = {})
    {
        ViewController::Services services;
        services.platform = VirtualRig::services();
        services.update = [this] { return UpdateRig::services(); };
        services.home.recordActivity = [](int) {};
        services.home.getNewVersion = [this](int, float, int, const QObject *, SHttp::FirmwareSuccess ok,
                                             SHttp::Failure) { offer = std::move(ok); };
        services.terminate = [this](int status) { terminated.push_back(status); };
        services.historyPath = historyPath;
        window = Application::createMainWindow(std::move(services), appDelegate);
        vc = Application::controllerOf(*window);
        window->show();
    }
    void close()
    {
        window.reset();
        SMainMenu::setMainMenu(nullptr);
    }

    QWidget *top() const { return vc->views().isEmpty() ? nullptr : vc->views().last(); }
    bool moreEnabled() const { return SMainMenu::getMoreMenuItem()->isEnabled(); }

    AppDelegate appDelegate;
    SHttp::FirmwareSuccess offer;
    std::vector<int> terminated;
    std::unique_ptr<QMainWindow> window;
    ViewController *vc = nullptr;
};

TEST_F(ViewControllerTest, StartsWithTheHomeScreenAloneAndArmedMenuItems)
{
    ASSERT_EQ(vc->views().size(), 1);
    EXPECT_EQ(vc->views().first(), vc->homeView());
    EXPECT_TRUE(vc->backButton()->isHidden());
    EXPECT_NE(vc->homeView()->firmwaerUpdaterButton, nullptr) << "the home screen from its interface file";
    // The back button sits at the top left: x 15, 10 points below the top.
    EXPECT_EQ(AppKitFrame::frame(vc->backButton()), QRectF(15, Application::kHeight - 30 - 10, 30, 30));
    // The root paints the screens' grey under the home screen, which paints no background.
    EXPECT_EQ(test::pixel(test::render(*vc), 2, vc->height() - 2), SView::screenGrey());
    // The menu's three tagged items, from the main window's interface file.
    const struct
    {
        QAction *item;
        const char *name;
        QString title;
    } items[] = {
        {SMainMenu::getCheckUpdateMenuItem(), "actionCheckUpdate", localized("Checkforupdate")},
        {SMainMenu::getMoreMenuItem(), "actionUpdateManually", localized("Update Manually")},
        {SMainMenu::getBetaMenuItem(), "actionBeta",
         localized("Includebetabuilds") + QStringLiteral("  :    ") + localized("off")},
    };
    for (const auto &item : items) {
        ASSERT_NE(item.item, nullptr) << item.name;
        EXPECT_EQ(item.item->objectName(), QString::fromLatin1(item.name));
        EXPECT_EQ(item.item->text(), item.title) << item.name;
    }
    EXPECT_TRUE(moreEnabled());
}

TEST_F(ViewControllerTest, BackButtonAndUpdateManuallyFollowTheStack)
{
    struct Step
    {
        const char *what;
        std::function<void()> act;
        int depth;
        bool backShown;
        bool moreOn;
    };
    const Step steps[] = {
        {"menu opens the chooser", [&] { SMainMenu::getMoreMenuItem()->trigger(); }, 2, true, false},
        {"back to home", [&] { vc->backButton()->click(); }, 1, false, true},
        {"update button opens the update screen", [&] { vc->firmwaerUpdateClick(attached(0x3100), 0); }, 2, true,
         false},
        {"the menu item is disabled there", [&] { SMainMenu::getMoreMenuItem()->trigger(); }, 2, true, false},
        {"back", [&] { vc->back(); }, 1, false, true},
        {"back on home alone does nothing", [&] { vc->back(); }, 1, false, true},
        {"updateViewBack goes back",
         [&] {
             vc->moreClick();
             NotificationCenter::defaultCenter().post(QStringLiteral("updateViewBack"));
         },
         1, false, true},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(vc->views().size(), step.depth);
        EXPECT_EQ(vc->backButton()->isHidden(), !step.backShown);
        EXPECT_EQ(moreEnabled(), step.moreOn);
        // Shown, it stays on top of the pushed screen, where a press finds it.
        if (step.backShown) {
            EXPECT_EQ(vc->childAt(vc->backButton()->geometry().center()), vc->backButton());
        }
        for (QWidget *view : vc->views())
            EXPECT_EQ(view->parentWidget(), vc);
    }
}

TEST_F(ViewControllerTest, ChooserPicksFollowTheAttachedDeviceAndOpenTheGuideForWrenAndType3)
{
    struct Row
    {
        const char *what;
        bool deviceAttached;
        uint16_t pickedPid;
        bool expectAttached;
        bool guide;
    };
    const Row rows[] = {
        {"attached device wins over the pick", true, 0x3020, true, false},
        {"type 3 opens the guide at once", false, 0x3023, false, true},
        {"type 2 named Wren opens the guide at once", false, 0x3020, false, true},
        {"another type 2 does not", false, 0x3022, false, false},
        {"an ordinary product does not", false, 0x3100, false, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const SFenwykDevicePtr device = attached(0x3100);
        if (row.deviceAttached)
            vc->addSFenwykDevice(device);
        vc->moreClick();
        ASSERT_EQ(top(), vc->moreView());
        const SFenwykDevicePtr choice = test::chosenProduct(row.pickedPid);
        vc->MoreViewClick(choice, vc->moreView());
        ASSERT_EQ(top(), vc->updateView());
        EXPECT_EQ(vc->updateScreen().device(), row.expectAttached ? device : choice);
        EXPECT_EQ(vc->updateScreen().state(), row.guide ? State::kStateHardwareRevision : State::kStateReady);
        vc->back();
        vc->back();
        vc->removeSFenwykDevice(device);
        ASSERT_EQ(vc->views().size(), 1);
    }
}

TEST_F(ViewControllerTest, ABootloaderDevicePushesTheChooserOnlyFromHome)
{
    // Nothing but the home screen was ever shown: the update screen's sessions listen already.
    lab::VirtualClassicBootloader bootloader(bus);
    bootloader.plug();
    clock.advance(1000);
    EXPECT_EQ(top(), vc->moreView());
    EXPECT_FALSE(moreEnabled());
    vc->back();
    vc->firmwaerUpdateClick(attached(0x3100), 0);
    vc->addBootDevice(&vc->updateScreen());
    EXPECT_EQ(top(), vc->updateView());
    EXPECT_EQ(vc->views().size(), 2);
}

TEST_F(ViewControllerTest, BackRespectsWritingAndLeavesAFinishedUpdateStraightHome)
{
    struct Row
    {
        const char *what;
        bool viaChooser;
        uint64_t state;
        int depthAfterBack;
    };
    const Row rows[] = {
        {"writing: back does nothing", false, State::kStateWriting, 2},
        {"writing from the chooser: nothing either", true, State::kStateWriting, 3},
        {"finished from the chooser: straight home", true, State::kStateFinished, 1},
        {"finished: home", false, State::kStateFinished, 1},
        {"ready from the chooser: back to the chooser", true, State::kStateReady, 2},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        if (row.viaChooser) {
            vc->moreClick();
            vc->MoreViewClick(test::chosenProduct(0x3100), vc->moreView());
        } else {
            vc->firmwaerUpdateClick(attached(0x3100), 0);
        }
        vc->updateScreen().setState(row.state);
        vc->back();
        EXPECT_EQ(vc->views().size(), row.depthAfterBack);
        vc->updateScreen().setState(State::kStateReady);
        while (vc->views().size() > 1)
            vc->back();
    }
    // goHome is the same back action.
    vc->firmwaerUpdateClick(attached(0x3100), 0);
    vc->updateScreen().setState(State::kStateFinished);
    vc->goHome(&vc->updateScreen());
    EXPECT_EQ(vc->views().size(), 1);
}

TEST_F(ViewControllerTest, AnOfferOpensTheUpdateScreenOnlyFromHome)
{
    Firmware newer;
    newer.type = 17;
    newer.version = 1.1f;
    const SFenwykDevicePtr device = attached(0x3100);
    struct Row
    {
        const char *what;
        std::function<void()> before;
        bool opens;
    };
    const Row rows[] = {
        {"chooser shown: dropped", [&] { vc->moreClick(); }, false},
        {"update screen shown: dropped", [&] { vc->firmwaerUpdateClick(device, 0); }, false},
        {"home: opens in state 1", [] {}, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        row.before();
        const qsizetype depth = vc->views().size();
        const std::size_t listsBefore = server.lists.size();
        vc->hasNewFirmwaerVersion(device, newer);
        if (row.opens) {
            // Offered, and its first layout pass has run: state 0 with the offer as the whole list.
            EXPECT_EQ(top(), vc->updateView());
            EXPECT_TRUE(vc->updateScreen().isSetNewFirmware());
            EXPECT_EQ(vc->updateScreen().state(), State::kStateReady);
            EXPECT_EQ(vc->updateScreen().device(), device);
            EXPECT_EQ(server.lists.size(), listsBefore); // the offer is the list: nothing is fetched
        } else {
            EXPECT_EQ(vc->views().size(), depth);
            EXPECT_FALSE(vc->updateScreen().isSetNewFirmware());
        }
        while (vc->views().size() > 1)
            vc->back();
    }
}

TEST_F(ViewControllerTest, BetaOnAsksAndCancelChangesNothingBetaOffNeverAsks)
{
    QAction *beta = SMainMenu::getBetaMenuItem();
    const QString offTitle = localized("Includebetabuilds") + QStringLiteral("  :    ") + localized("off");
    const QString onTitle = localized("Includebetabuilds") + QStringLiteral("  :    ") + localized("on");
    struct Row
    {
        const char *answer; // null: no question expected
        bool before;
        bool after;
    };
    const Row rows[] = {{"cancel", false, false}, {"sure", false, true}, {nullptr, true, false}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.answer ? row.answer : "no question");
        EXPECT_EQ(UserDefaults::standard().boolForKey(QStringLiteral("UserDefaults_isBeta")), row.before);
        beta->trigger();
        auto *alert = window->findChild<QMessageBox *>(QStringLiteral("betaAlert"));
        if (row.answer) {
            ASSERT_NE(alert, nullptr);
            EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
            EXPECT_EQ(alert->informativeText(), localized("isBeta"));
            EXPECT_EQ(alert->buttons().size(), 2);
            buttonTitled(alert, localized(row.answer))->click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        } else {
            EXPECT_EQ(alert, nullptr);
        }
        EXPECT_EQ(UserDefaults::standard().boolForKey(QStringLiteral("UserDefaults_isBeta")), row.after);
        EXPECT_EQ(beta->text(), row.after ? onTitle : offTitle);
    }
}

TEST_F(ViewControllerTest, ClosingTheMainWindowQuitsButANotesWindowDoesNot)
{
    QDialog notes;
    notes.setWindowTitle(QStringLiteral("Release notes"));
    notes.show();
    notes.close();
    EXPECT_TRUE(terminated.empty());
    window->close();
    EXPECT_EQ(terminated, std::vector<int>{0});
}

TEST_F(ViewControllerTest, ClosingWhileWritingAsksAndCancelKeepsTheUpdateRunning)
{
    vc->firmwaerUpdateClick(attached(0x3100), 0);
    vc->updateScreen().setState(State::kStateWriting);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(terminated.empty());
    auto *question = window->findChild<QMessageBox *>(QStringLiteral("stopUpdateQuestion"));
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->windowModality(), Qt::WindowModal);
    // Asking twice does not stack a second question.
    window->close();
    EXPECT_EQ(window->findChildren<QMessageBox *>(QStringLiteral("stopUpdateQuestion")).size(), 1);

    buttonTitled(question, localized("cancel"))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(vc->updateScreen().state(), State::kStateWriting);
    EXPECT_TRUE(terminated.empty());

    window->close();
    question = window->findChild<QMessageBox *>(QStringLiteral("stopUpdateQuestion"));
    ASSERT_NE(question, nullptr);
    buttonTitled(question, localized("stopUpdate"))->click();
    EXPECT_EQ(terminated, std::vector<int>{0});
}

TEST_F(ViewControllerTest, BackAndQuitWaitForASessionThatIsIdentifyingTheBootloader)
{
    clock.advance(1000); // a last sign of life at 0 reads as an idle watchdog
    vc->firmwaerUpdateClick(attached(0x3100), 0);
    vc->updateScreen().setState(State::kStateReady);
    vc->updateScreen().setNewFirmwaer(Firmware{});
    vc->updateScreen().chengeboxClick(0);
    vc->updateScreen().SButtonClick(State::Button::Update);
    ASSERT_TRUE(vc->updateScreen().attemptRunning());
    // The bootloader arrives while the file downloads: its session starts identifying it.
    lab::SilentDevice boot(bus, HidIdentity{0x2DC8, 0x3208, QStringLiteral("Boot")});
    boot.plug();
    clock.runPending();
    ASSERT_EQ(vc->updateScreen().state(), State::kStatePreparing);
    ASSERT_TRUE(vc->updateScreen().sessionRunning());

    vc->back();
    EXPECT_EQ(top(), vc->updateView()) << "the session is talking to the device";
    EXPECT_FALSE(window->close());
    EXPECT_NE(window->findChild<QMessageBox *>(QStringLiteral("stopUpdateQuestion")), nullptr);
    EXPECT_TRUE(terminated.empty());

    // Stalled: the error guide ends the talking, and the screen can be left, which ends the attempt.
    for (int i = 0; i < 230; ++i)
        clock.advance(100);
    ASSERT_EQ(vc->updateScreen().state(), State::kStateFailed);
    vc->back();
    EXPECT_EQ(top(), vc->homeView());
    EXPECT_FALSE(vc->updateScreen().attemptRunning());
}

TEST_F(ViewControllerTest, AWatchedDevicesOfferOpensItsUpdateScreenAndOnlyThatIsReachable)
{
    lab::VirtualDinputController crane(bus, 0x3100, 0x2DC8, QStringLiteral("Fenwyk Crane"));
    crane.versionHundredths = 150;
    crane.plug();
    clock.advance(2000);
    ASSERT_EQ(vc->homeView()->devices().size(), 1);
    const SFenwykDevicePtr shown = vc->homeView()->moreDevice();
    // The watcher's repeated reports asked for the newest release; its answer opens the offer.
    ASSERT_TRUE(offer);
    Firmware newer;
    newer.type = 17;
    newer.version = 1.6f;
    offer(newer);
    ASSERT_EQ(top(), vc->updateView());
    EXPECT_EQ(vc->updateScreen().device(), shown);
    EXPECT_FALSE(vc->homeView()->isVisible());

    // Tab goes round the update screen and never lands on the covered home screen.
    QApplication::setActiveWindow(window.get());
    vc->updateView()->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 40; ++i) {
        QWidget *focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_FALSE(vc->homeView()->isAncestorOf(focus)) << focus->objectName().toStdString();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    // A second update screen cannot be started over the one shown.
    vc->firmwaerUpdateClick(attached(0x3011), 0);
    EXPECT_EQ(vc->updateScreen().device(), shown);
    EXPECT_EQ(vc->views().size(), 2);
    vc->back();
    EXPECT_TRUE(vc->homeView()->isVisible());
}

TEST_F(ViewControllerTest, UpdateHistoryOpensFromTheMenuOnlyWhenThereIsAHistory)
{
    QTemporaryDir dir;
    for (const bool withHistory : {false, true}) {
        SCOPED_TRACE(withHistory);
        close();
        open(withHistory ? dir.filePath(QStringLiteral("history.jsonl")) : QString());
        auto *item = window->findChild<QAction *>(QStringLiteral("actionHistory"));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->isVisible(), withHistory);
        EXPECT_EQ(item->text(), localized("historyMenu"));
        if (withHistory) {
            item->trigger();
            auto *dialog = window->findChild<QDialog *>(QStringLiteral("historyDialog"));
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
            EXPECT_TRUE(dialog->isVisible());
        }
    }
}

} // namespace

TEST_F(ViewControllerTest, ADeviceThatCannotBeOpenedIsNamedUnderTheListUntilItOpensOrLeaves)
{
    test::ScopedTranslations english(QStringLiteral("en"));
    HomeView *home = vc->homeView();
    ASSERT_NE(home->openFailureLine, nullptr);
    EXPECT_TRUE(home->openFailureLine->isHidden());

    lab::VirtualDinputController crane(bus, 0x3100, 0x2DC8, QStringLiteral("Fenwyk Crane"));
    bus.setOpenFails(0x2DC8, 0x3100, true);
    HidDevice *device = crane.plug();
    clock.advance(2000);
    // The watcher's open failed: nothing is listed, the line says which device and what to do.
    EXPECT_TRUE(home->devices().isEmpty());
    ASSERT_FALSE(home->openFailureLine->isHidden());
    const QString text = home->openFailureLine->text();
    EXPECT_EQ(text, HomeView::openFailureText(*device));
    EXPECT_TRUE(text.contains(test::shippedEntry(0x3100)->name())) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("3100"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("70-flashwell.rules"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1Char('%'))) << text.toStdString();
    {
        test::ScopedTranslations chinese(QStringLiteral("zh_CN"));
        const QString zh = HomeView::openFailureText(*device);
        EXPECT_TRUE(zh.contains(QRegularExpression(QStringLiteral("\\p{Han}")))) << zh.toStdString();
        EXPECT_TRUE(zh.contains(QStringLiteral("70-flashwell.rules"))) << zh.toStdString();
    }
    // Under the device list, inside the screen.
    const QRect line = home->openFailureLine->geometry();
    EXPECT_GE(line.top(), home->FindsView->geometry().bottom());
    EXPECT_TRUE(home->rect().contains(line));

    // Opened after all (the rules arrived): the line goes.
    bus.setOpenFails(0x2DC8, 0x3100, false);
    EXPECT_EQ(device->open(), kIOReturnSuccess);
    EXPECT_TRUE(home->openFailureLine->isHidden());

    // Failing again, then unplugged: the line goes with the device.
    bus.setOpenFails(0x2DC8, 0x3100, true);
    EXPECT_NE(device->open(), kIOReturnSuccess);
    EXPECT_FALSE(home->openFailureLine->isHidden());
    crane.unplug();
    clock.advance(10);
    EXPECT_TRUE(home->openFailureLine->isHidden());
}
