#pragma once

#include "device/SFenwykDataDetails.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace flashwell {

using SFenwykCatalogue = QList<SFenwykDataDetailsPtr>;

// Owns the device catalogue (loaded once from the bundled "SFenwykDevice.plist") and the
// China-language display names.
class SFenwykDeviceDetailsTools final
{
public:
    SFenwykDeviceDetailsTools() = delete;

    // The whole catalogue, in file order.
    static const SFenwykCatalogue &getFenwykDevicePIDVIDAndNAMEs();
    // One entry per `order` value and firmware type, the first in file order; keeps catalogue order.
    static SFenwykCatalogue getMoreFenwykDevicePIDVIDAndNAMEs();
    // The China-language name for `type` (and `pid` for type 7) in a Chinese interface,
    // otherwise `name` unchanged.
    static QString getNameWith(int32_t type, int32_t pid, const QString &name);

    // Parses a property list whose root is an array of entry dictionaries. Anything malformed
    // gives an empty catalogue and one warning; unknown keys are ignored.
    static SFenwykCatalogue parseCatalogue(const QByteArray &plist);

    // Swaps the process-wide catalogue (the lab and tests); returns the previous one.
    static SFenwykCatalogue replaceCatalogue(SFenwykCatalogue catalogue);
};

} // namespace flashwell
