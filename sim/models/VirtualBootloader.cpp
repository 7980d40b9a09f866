#include "models/VirtualBootloader.h"

#include "platform/HidReport.h"

#include <algorithm>

namespace flashwell::lab {

VirtualBootloader::~VirtualBootloader() = default;

bool VirtualBootloader::takeRequest()
{
    ++m_requests;
    if (faults.unplugAfter && m_requests > *faults.unplugAfter) {
        unplug();
        return false;
    }
    return true;
}

void VirtualBootloader::answer(std::span<const uint8_t> report)
{
    if (replyLost())
        return;
    if (due(faults.delayReplyAt)) {
        HidReport copy{};
        std::copy_n(report.begin(), std::min(report.size(), copy.size()), copy.begin());
        later(faults.delayMs, [this, copy] { reply(copy); });
        return;
    }
    reply(report);
    if (due(faults.duplicateReplyAt))
        reply(report);
}

bool VirtualBootloader::takeWrite()
{
    ++m_writes;
    return faults.corruptWriteAt && *faults.corruptWriteAt == m_writes;
}

VirtualDinputController &VirtualBootloader::returnToNormalMode(const HidIdentity &identity)
{
    m_normal =
        std::make_unique<VirtualDinputController>(bus(), identity.productId, identity.vendorId, identity.product);
    reenumerate(identity, m_normal.get());
    return *m_normal;
}

} // namespace flashwell::lab
