#include "net/Firmware.h"

#include "device/SFenwykDeviceDetailsTools.h"

namespace flashwell {

QString Firmware::fileName() const
{
    return SFenwykDeviceDetailsTools::getNameWith(type, 0, m_fileName);
}

} // namespace flashwell
