#pragma once

#include "device/DeviceDelegate.h"
#include "platform/PlatformServices.h"
#include "ui/HomeView.h"
#include "ui/HomeViewDelegate.h"
#include "ui/MoreViewDelegate.h"
#include "update/UpdateSessionController.h"
#include "update/UpdateViewDelegat.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QCloseEvent;
class QMessageBox;

namespace flashwell {

class MoreView;
class SBackButton;
class UpdateHost;
class UpdateView;

// The root controller: starts the update host (the HID watchers and the update controller), owns
// the three screens (home, update, chooser),
// stacks them under a back button, keeps the "Update Manually" and beta menu items in step with
// the stack, and quits the application when its window closes. All navigation is decided here.
class ViewController : public QWidget,
                       public DeviceDelegate,
                       public HomeViewDelegate,
                       public MoreViewDelegate,
                       public UpdateViewDelegat
{
    Q_OBJECT
public:
    struct Services
    {
        PlatformServices platform = PlatformServices::shared();
        // Created on first use of the update screen, so that tests and the lab can hand in theirs.
        std::function<UpdateServices()> update = [] { return UpdateServices::shared(); };
        HomeView::Server home;
        // Where update attempts are recorded (the history file); empty: not recorded.
        QString historyPath;
        // Ends the application with a status.
        std::function<void(int status)> terminate;
        // The update screen's controller was made (a recording watches it).
        std::function<void(UpdateSessionController &controller)> updateScreenMade;
    };

    explicit ViewController(Services services, QWidget *parent = nullptr);
    ~ViewController() override;

    // The start-up order: watchers, back button, home screen, menu items, notifications. Call
    // once the controller is the content of its window.
    void viewDidLoad();

    // Screen stack.
    void S_AddView(QWidget *view);
    void S_RemoveView(QWidget *view);
    void showAndHideBackButton();
    void back();
    UpdateView *updateView();
    MoreView *moreView();
    HomeView *homeView() const { return m_homeView; }
    const QList<QWidget *> &views() const { return m_views; }
    SBackButton *backButton() const { return m_backButton; }
    // The update screen's logic (creates the screen on first use).
    UpdateSessionController &updateScreen();
    // The watchers and the update controller (made on first use).
    UpdateHost &host();

    // Menu items.
    void addCheckUpdat();
    void addMoreAction();
    void addBetaAction();
    void moreClick();
    void betaClick();
    void chengBeta(bool on);

    // DeviceDelegate
    void addSFenwykDevice(const SFenwykDevicePtr &device) override;
    void removeSFenwykDevice(const SFenwykDevicePtr &device) override;
    // HomeViewDelegate
    void firmwaerUpdateClick(const SFenwykDevicePtr &device, int32_t from) override;
    void hasNewFirmwaerVersion(const SFenwykDevicePtr &device, const Firmware &firmwaer) override;
    // MoreViewDelegate
    void MoreViewClick(const SFenwykDevicePtr &device, MoreView *view) override;
    // UpdateViewDelegat
    void addBootDevice(UpdateSessionController *screen) override;
    void goHome(UpdateSessionController *screen) override;

    // The main window is closing: quits, except while firmware is being written, when it asks
    // first (and keeps the window open on "cancel").
    void closeWindow(QCloseEvent *event);

    const QString &historyPath() const { return m_services.historyPath; }

    double m_widht = 0;
    double m_height = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void initView();
    bool onScreen(const QWidget *view) const;
    void focusScreen(QWidget *view);
    void terminate(int status);

    Services m_services;
    std::unique_ptr<UpdateHost> m_host;
    HomeView *m_homeView = nullptr;
    UpdateView *m_updateView = nullptr;
    MoreView *m_moreView = nullptr;
    SBackButton *m_backButton = nullptr;
    QList<QWidget *> m_views;
    QPointer<QWidget> m_window;
    QPointer<QMessageBox> m_stopQuestion;
    bool m_closing = false;
};

} // namespace flashwell
