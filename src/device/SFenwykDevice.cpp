#include "device/SFenwykDevice.h"

#include "device/SFenwykDeviceDetailsTools.h"
#include "device/UsbIdentities.h"

#include <algorithm>

namespace flashwell {

namespace {

SFenwykDataDetailsPtr namedIdentity(const char *name)
{
    auto entry = std::make_shared<SFenwykDataDetails>();
    entry->setName(QString::fromLatin1(name));
    return entry;
}

bool carriesReceiver(int32_t type)
{
    return type == 41 || type == 43 || type == 48 || type == 51 || type == 57;
}
} // namespace

SFenwykDataDetailsPtr SFenwykDevice::details()
{
    if (!m_details) {
        for (const auto &entry : SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs()) {
            if (entry->pid == pid && entry->vid == vid) {
                m_details = entry;
                break;
            }
        }
        // The two borrowed identities get a fixed entry of their own, even when listed.
        if (usb::is(usb::kSwitchPro, pid, vid))
            m_details = namedIdentity("Pro Controller");
        else if (usb::is(usb::kSony, pid, vid))
            m_details = namedIdentity("Wireless Controller");
    }
    if (m_details && carriesReceiver(m_details->type))
        isCarryRR = 1;
    return m_details;
}

void SFenwykDevice::setVersion(float v)
{
    const SFenwykDataDetailsPtr entry = details();
    const int32_t t = entry ? entry->type : 0;
    m_version = v;
    if (v != 0.0f && t == 21)
        isChangeBoot = true;
    static constexpr int32_t kSwitchable[] = {4, 8, 9, 12, 13, 14, 15, 16, 17, 18, 20, 22, 23, 24, 25};
    if (t > 25 || std::find(std::begin(kSwitchable), std::end(kSwitchable), t) != std::end(kSwitchable)) {
        isChangeBoot = true;
        if (t == 9 && v < 1.25f)
            isChangeBoot = false;
        if (t == 8 && v < 1.14f)
            isChangeBoot = false;
    }
    if (entry && entry->pid == 0x9029)
        isChangeBoot = static_cast<double>(v) > 1.04;
}

QString SFenwykDevice::description() const
{
    return QString::asprintf("device:%s PID:0x%x VID:0x%x Version:%lf Beta:%hu Ref:%d ChangeBoot:%hhd",
                             qUtf8Printable(deviceName), unsigned{pid}, unsigned{vid}, static_cast<double>(m_version),
                             beta, deviceRef ? 1 : 0, static_cast<signed char>(isChangeBoot));
}

QString SFenwykDevice::getNameWithPid(int32_t pid)
{
    if (pid == 0)
        return {QLatin1String("")};
    for (const auto &entry : SFenwykDeviceDetailsTools::getFenwykDevicePIDVIDAndNAMEs()) {
        if (entry->pid == pid)
            return entry->name();
    }
    return {QLatin1String("")};
}

} // namespace flashwell
