#include "device/SFenwykDataDetails.h"

#include "device/Language.h"
#include "device/SFenwykDeviceDetailsTools.h"

namespace flashwell {

QString SFenwykDataDetails::name() const
{
    if (Language::isCurrentChinaLanguage())
        return SFenwykDeviceDetailsTools::getNameWith(type, pid, m_name);
    return m_name;
}

QString SFenwykDataDetails::description() const
{
    return QString::asprintf("name:%s pid:%02x vid:%02x type:%d order:%ld", qUtf8Printable(name()), unsigned{pid},
                             unsigned{vid}, type, static_cast<long>(order));
}

} // namespace flashwell
