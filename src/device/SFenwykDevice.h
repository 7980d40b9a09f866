#pragma once

#include "device/SFenwykDataDetails.h"
#include "platform/HidDevice.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace flashwell {

// One attached device: what the watchers and sessions learnt of it, and its catalogue entry.
class SFenwykDevice final
{
public:
    uint16_t pid = 0;
    uint16_t vid = 0;
    uint16_t beta = 0;
    QString deviceName;
    // Not retained: reads null once the device has left.
    HidDeviceRef deviceRef;
    uint16_t bootVersion = 0;
    uint16_t isCarryRR = 0;
    uint16_t isManuanlViewRR = 0;
    bool isChangeBoot = false;

    float version() const { return m_version; }
    // Stores the version and re-derives `isChangeBoot` from the product type.
    void setVersion(float v);

    // The catalogue entry, looked up on first read (and again while none is found).
    SFenwykDataDetailsPtr details();
    void setDetails(SFenwykDataDetailsPtr details) { m_details = std::move(details); }

    QString description() const;

    // The `name` of the first catalogue entry with this pid; "" for 0 or no match.
    static QString getNameWithPid(int32_t pid);

private:
    float m_version = 0.0f;
    SFenwykDataDetailsPtr m_details;
};

using SFenwykDevicePtr = std::shared_ptr<SFenwykDevice>;

} // namespace flashwell
