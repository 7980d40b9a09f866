#include "update/UpdateHost.h"

#include "device/HidTransport.h"
#include "device/SHIDDinput.h"
#include "device/SHIDSwitchAndMac.h"
#include "device/SHIDXinput.h"
#include "platform/NotificationCenter.h"
#include "update/FirmwareListRules.h"
#include "update/UpdateHistoryRecorder.h"

namespace flashwell {

UpdateHost::UpdateHost(UpdateServices services, const QString &historyPath, QObject *parent)
    : QObject(parent)
    , m_dinput(std::make_unique<SHIDDinput>(services.platform))
    , m_switchAndMac(std::make_unique<SHIDSwitchAndMac>(services.platform))
    , m_xinput(std::make_unique<SHIDXinput>(services.platform))
{
    m_dinput->open();
    m_xinput->open();
    m_switchAndMac->open();
    m_controller = std::make_unique<UpdateSessionController>(services);
    if (!historyPath.isEmpty())
        m_recorder = std::make_unique<UpdateHistoryRecorder>(*m_controller, UpdateHistory(historyPath));
    // A data report that cannot be sent fails the update that sent it.
    NotificationCenter::defaultCenter().addObserver(
        this, QString::fromLatin1(transport::kUpdateErrorNotification),
        [this] { m_controller->updateingError(AttemptEnd::Cause::ReportNotSent); });
}

UpdateHost::~UpdateHost()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    setDeviceDelegate(nullptr);
    // The controller says how an attempt still running ended while the recorder still listens.
    m_controller.reset();
    m_recorder.reset();
}

void UpdateHost::setDeviceDelegate(DeviceDelegate *delegate)
{
    m_dinput->setDelegate(delegate);
    m_switchAndMac->setDelegate(delegate);
}

void UpdateHost::prepareShow(const SFenwykDevicePtr &device, Origin origin)
{
    m_controller->setDevice(device);
    m_controller->setminiImageposition(static_cast<int32_t>(origin));
    m_controller->setState(UpdateSessionController::kStateReady);
}

void UpdateHost::finishShow(Origin origin)
{
    m_controller->loadViews();
    const SFenwykDevicePtr device = m_controller->device();
    const SFenwykDataDetailsPtr entry = device ? device->details() : nullptr;
    if (origin == Origin::ChosenByHand && entry && firmware_list::readsHardwareRevision(*entry))
        m_controller->noV1AndV2();
}

void UpdateHost::show(const SFenwykDevicePtr &device, Origin origin)
{
    prepareShow(device, origin);
    finishShow(origin);
}

void UpdateHost::showOffer(const SFenwykDevicePtr &device, const Firmware &release)
{
    m_controller->setDevice(device);
    m_controller->setminiImageposition(0);
    m_controller->setState(UpdateSessionController::kStateOffer);
    m_controller->setNewFirmwaer(release);
}

} // namespace flashwell
