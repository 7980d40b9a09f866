#include "device/Language.h"

#include "platform/Bundle.h"

#include <QString>

namespace flashwell {

bool Language::isCurrentChinaLanguage()
{
    const QString first = Bundle::preferredLanguage();
    return first == QLatin1String("zh-Hans-CN") || first == QLatin1String("zh-Hans")
           || first == QLatin1String("zh-Hans-US");
}

} // namespace flashwell
