#pragma once

#include "device/SFenwykDevice.h"
#include "net/SHttp.h"
#include "platform/HidDevice.h"
#include "platform/Scheduler.h"
#include "platform/WeakDelegate.h"
#include "screens/HomeViewDelegate.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QLabel;

namespace flashwell {

class HidBackend;

// The two server calls the home screen makes; SHttp unless a test replaces them.
struct HomeServer
{
    std::function<void(int type)> recordActivity = [](int type) { SHttp::recordActivity(type); };
    // The answer never arrives once `context` is gone.
    std::function<void(int type, float version, int beta, const QObject *context, SHttp::FirmwareSuccess,
                       SHttp::Failure)>
        getNewVersion =
            [](int type, float version, int beta, const QObject *context, SHttp::FirmwareSuccess ok,
               const SHttp::Failure &fail) { SHttp::getNewVersion(type, version, beta, context, std::move(ok), fail); };
};

// The first and lowest screen: a USB hint with an animated arrow while nothing is attached, the
// list of attached devices and the firmware-update button once something is. Loaded from the
// interface file "HomeView"; its controls are found by object name in `awakeFromNib`.
class HomeView : public QWidget
{
    Q_OBJECT
public:
    using Server = HomeServer;

    explicit HomeView(QWidget *parent = nullptr);
    ~HomeView() override;

    // Makes the class known to interface files (once per process).
    static void registerClass();

    // Finds the outlets, sets up the update button and starts the arrow animation on `scheduler`.
    // A missing outlet leaves that control absent, with one warning.
    void awakeFromNib(Scheduler &scheduler, Server server = HomeServer());

    HomeViewDelegate *delegate() const { return m_delegate.get(); }
    void setDelegate(HomeViewDelegate *delegate) { m_delegate.set(delegate); }

    // Outlets.
    QPointer<QAbstractButton> firmwaerUpdaterButton;
    QPointer<QLabel> usb;
    QPointer<QWidget> FindsView;
    QPointer<QWidget> usbView;
    QPointer<QWidget> arrow01;
    QPointer<QWidget> arrow02;
    QPointer<QWidget> arrow03;
    QPointer<QAbstractButton> helpButton;

    const QList<SFenwykDevicePtr> &devices() const { return m_devices; }
    SFenwykDevicePtr moreDevice() const { return m_devices.isEmpty() ? nullptr : m_devices.first(); }

    // 0 = waiting, 1 = devices found; anything else is ignored.
    void setState(unsigned state);
    void findStateUI(bool found);
    void addSFenwykDevice(const SFenwykDevicePtr &device);
    void removeSFenwykDevice(const SFenwykDevicePtr &device);
    void refresh();
    void addDevicesTextFileld();
    // Asks for the newest release of `device`'s product; an answer is offered for that device
    // alone, and dropped when it has left meanwhile.
    void loadNewGameVersion(int32_t type, float version, int32_t beta, const SFenwykDevicePtr &device);
    // The big button: the first device's update screen.
    void firmwaerUpdateClick();
    // A device line was chosen: that device's update screen.
    void deviceLineClick(const SFenwykDevicePtr &device);
    void helpButtonClick();
    void usbAniamtion();

    // The text of one device line.
    static QString deviceLine(SFenwykDevice &device);

    // Shows, under the device list, a line for the last device of `backend` that could not be
    // opened, with what to do about it; the line goes once that device is opened or leaves.
    void showOpenFailures(HidBackend &backend);
    // The line's label (created by `showOpenFailures`); hidden while every device opened.
    QPointer<QLabel> openFailureLine;
    // The text of the line for `device`.
    static QString openFailureText(const HidDevice &device);

private:
    QWidget *outlet(const char *name);
    void refreshOpenFailure();

    WeakDelegate<HomeViewDelegate> m_delegate;
    QList<SFenwykDevicePtr> m_devices;
    Scheduler *m_scheduler = nullptr;
    Scheduler::TimerId m_animation = 0;
    Server m_server;
    QList<HidDeviceRef> m_unopened; // oldest first
};

} // namespace flashwell
