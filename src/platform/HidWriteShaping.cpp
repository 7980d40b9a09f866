#include "platform/HidWriteShaping.h"

namespace flashwell::hidraw {

bool reportDescriptorUsesReportIds(std::span<const uint8_t> descriptor)
{
    constexpr uint8_t kLongItemPrefix = 0xFE;
    constexpr uint8_t kReportIdPrefix = 0x84; // type Global (1), tag Report ID (8), size bits cleared
    std::size_t i = 0;
    while (i < descriptor.size()) {
        const uint8_t prefix = descriptor[i];
        if (prefix == kLongItemPrefix) {
            if (i + 1 >= descriptor.size())
                return false;
            i += 3 + descriptor[i + 1]; // prefix, data size, long tag, data
            continue;
        }
        const std::size_t sizeCode = prefix & 0x03;
        const std::size_t dataSize = sizeCode == 3 ? 4 : sizeCode;
        if ((prefix & 0xFC) == kReportIdPrefix)
            return true;
        i += 1 + dataSize;
    }
    return false;
}

std::vector<uint8_t> shapeOutputReport(std::span<const uint8_t> report, bool numberedReports)
{
    std::vector<uint8_t> out;
    out.reserve(report.size() + 1);
    if (!numberedReports)
        out.push_back(0x00);
    out.insert(out.end(), report.begin(), report.end());
    return out;
}

} // namespace flashwell::hidraw
