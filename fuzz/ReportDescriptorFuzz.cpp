// The report-descriptor walker, over arbitrary descriptors (short and long items, truncated).
#include "platform/HidWriteShaping.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    const std::span<const uint8_t> descriptor(data, size);
    const bool numbered = flashwell::hidraw::reportDescriptorUsesReportIds(descriptor);
    // Bytes appended after a walk that found a Report ID item cannot take it away.
    if (numbered && size > 0) {
        std::vector<uint8_t> longer(data, data + size);
        longer.push_back(0x00);
        if (!flashwell::hidraw::reportDescriptorUsesReportIds(longer))
            std::abort();
    }
    return 0;
}
