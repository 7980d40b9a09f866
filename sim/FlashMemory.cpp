#include "FlashMemory.h"

#include <algorithm>
#include <iterator>

namespace flashwell::lab {

void FlashMemory::write(uint32_t address, std::span<const uint8_t> bytes)
{
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const uint32_t at = address + static_cast<uint32_t>(i);
        Page &page = m_pages[at / kPageSize];
        page.bytes[at % kPageSize] = bytes[i];
        page.written.set(at % kPageSize);
    }
}

void FlashMemory::erase(uint32_t address, uint32_t length)
{
    const uint64_t end = uint64_t{address} + length;
    // Visit only the pages that exist in the range.
    for (auto it = m_pages.lower_bound(address / kPageSize);
         it != m_pages.end() && uint64_t{it->first} * kPageSize < end;) {
        const uint64_t pageStart = uint64_t{it->first} * kPageSize;
        for (uint64_t at = std::max<uint64_t>(pageStart, address); at < std::min(end, pageStart + kPageSize); ++at)
            it->second.written.reset(at % kPageSize);
        it = it->second.written.none() ? m_pages.erase(it) : std::next(it);
    }
}

QByteArray FlashMemory::read(uint32_t address, uint32_t length) const
{
    QByteArray out(static_cast<qsizetype>(length), static_cast<char>(0xFF));
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t at = address + i;
        const auto it = m_pages.find(at / kPageSize);
        if (it == m_pages.end()) {
            i += kPageSize - at % kPageSize - 1; // skip the rest of an absent page
            continue;
        }
        if (it->second.written.test(at % kPageSize))
            out[static_cast<qsizetype>(i)] = static_cast<char>(it->second.bytes[at % kPageSize]);
    }
    return out;
}

std::vector<FlashMemory::Region> FlashMemory::regions() const
{
    std::vector<Region> out;
    for (const auto &[number, page] : m_pages) {
        for (uint32_t i = 0; i < kPageSize; ++i) {
            if (!page.written.test(i))
                continue;
            const uint32_t address = number * kPageSize + i;
            if (out.empty() || out.back().address + static_cast<uint32_t>(out.back().data.size()) != address)
                out.push_back({address, {}});
            out.back().data.append(static_cast<char>(page.bytes[i]));
        }
    }
    return out;
}

} // namespace flashwell::lab
