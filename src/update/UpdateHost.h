#pragma once

#include "device/SFenwykDevice.h"
#include "net/Firmware.h"
#include "update/UpdateSessionController.h"

#include <QObject>
#include <QString>

#include <memory>

namespace flashwell {

class DeviceDelegate;
class SHIDDinput;
class SHIDSwitchAndMac;
class SHIDXinput;
class UpdateHistoryRecorder;

// What the window, the command line and the lab each run an update on: the HID watchers, the
// update controller and (with a history file) its recorder, and the one observer of the
// transport's "a report could not be sent" notification. It also knows how a device is shown for
// an update, so nobody re-implements that sequence.
class UpdateHost final : public QObject
{
    Q_OBJECT
public:
    // Where the device to update came from: attached and identified, or chosen by hand (a
    // product picked in the chooser, or a bootloader waiting for its product).
    enum class Origin { Attached = 0, ChosenByHand = 1 };

    // The watchers start at once; the controller's sessions follow. An empty history path keeps
    // no history.
    UpdateHost(UpdateServices services, const QString &historyPath, QObject *parent = nullptr);
    ~UpdateHost() override;

    UpdateSessionController &controller() { return *m_controller; }
    const UpdateSessionController &controller() const { return *m_controller; }
    // Null without a history file.
    UpdateHistoryRecorder *recorder() const { return m_recorder.get(); }
    SHIDDinput &dinput() const { return *m_dinput; }
    SHIDSwitchAndMac &switchAndMac() const { return *m_switchAndMac; }
    SHIDXinput &xinput() const { return *m_xinput; }
    // Told of every identified device and its leaving (both watchers that identify devices).
    void setDeviceDelegate(DeviceDelegate *delegate);

    // Showing a device for an update is two steps, so that a window can put its screen up in
    // between: first the device and the screen's starting state, then the release list (and, for
    // a product chosen by hand that needs it, the hardware revision question).
    void prepareShow(const SFenwykDevicePtr &device, Origin origin);
    void finishShow(Origin origin);
    void show(const SFenwykDevicePtr &device, Origin origin);
    // A release the server offered for an attached device, shown as the whole list.
    void showOffer(const SFenwykDevicePtr &device, const Firmware &release);

private:
    std::unique_ptr<SHIDDinput> m_dinput;
    std::unique_ptr<SHIDSwitchAndMac> m_switchAndMac;
    std::unique_ptr<SHIDXinput> m_xinput;
    std::unique_ptr<UpdateSessionController> m_controller;
    std::unique_ptr<UpdateHistoryRecorder> m_recorder;
};

} // namespace flashwell
