#include "models/FlashMemory.h"

#include <QJsonArray>

#include <algorithm>
#include <iterator>

namespace flashwell::lab {

void FlashMemory::write(uint32_t address, std::span<const uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const uint32_t at = address + static_cast<uint32_t>(done);
        Page &page = m_pages[at / kPageSize];
        const uint32_t within = at % kPageSize;
        const std::size_t n = std::min<std::size_t>(bytes.size() - done, kPageSize - within);
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(done), n, page.bytes.begin() + within);
        for (std::size_t i = 0; i < n; ++i)
            page.written.set(within + i);
        done += n;
    }
}

void FlashMemory::erase(uint32_t address, uint32_t length)
{
    const uint64_t end = uint64_t{address} + length;
    // Visit only the pages that exist in the range.
    for (auto it = m_pages.lower_bound(address / kPageSize);
         it != m_pages.end() && uint64_t{it->first} * kPageSize < end;) {
        const uint64_t pageStart = uint64_t{it->first} * kPageSize;
        for (uint64_t at = std::max<uint64_t>(pageStart, address); at < std::min(end, pageStart + kPageSize); ++at) {
            it->second.written.reset(at % kPageSize);
            it->second.bytes[at % kPageSize] = 0xFF;
        }
        it = it->second.written.none() ? m_pages.erase(it) : std::next(it);
    }
}

QByteArray FlashMemory::read(uint32_t address, uint32_t length) const
{
    QByteArray out(static_cast<qsizetype>(length), static_cast<char>(0xFF));
    uint32_t done = 0;
    while (done < length) {
        const uint32_t at = address + done;
        const uint32_t within = at % kPageSize;
        const uint32_t n = std::min(length - done, kPageSize - within);
        if (const auto it = m_pages.find(at / kPageSize); it != m_pages.end())
            std::copy_n(it->second.bytes.begin() + within, n, out.begin() + static_cast<qsizetype>(done));
        done += n;
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

QJsonObject flashDumpOf(const FlashMemory &flash, const std::optional<FlashMemory::Region> &settings)
{
    QJsonArray regions;
    auto add = [&regions](const FlashMemory::Region &r) {
        regions.append(QJsonObject{{QStringLiteral("address"), static_cast<qint64>(r.address)},
                                   {QStringLiteral("data"), QString::fromLatin1(r.data.toHex())}});
    };
    bool settingsPending = settings.has_value();
    for (const auto &r : flash.regions()) {
        if (settingsPending && settings->address < r.address) {
            add(*settings);
            settingsPending = false;
        }
        add(r);
    }
    if (settingsPending)
        add(*settings);
    return QJsonObject{{QStringLiteral("regions"), regions}};
}

} // namespace flashwell::lab
