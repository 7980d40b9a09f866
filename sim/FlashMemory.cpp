#include "FlashMemory.h"

namespace flashwell::lab {

void FlashMemory::write(uint32_t address, std::span<const uint8_t> bytes)
{
    for (std::size_t i = 0; i < bytes.size(); ++i)
        m_bytes[address + static_cast<uint32_t>(i)] = bytes[i];
}

void FlashMemory::erase(uint32_t address, uint32_t length)
{
    m_bytes.erase(m_bytes.lower_bound(address), m_bytes.lower_bound(address + length));
}

QByteArray FlashMemory::read(uint32_t address, uint32_t length) const
{
    QByteArray out(static_cast<qsizetype>(length), static_cast<char>(0xFF));
    for (auto it = m_bytes.lower_bound(address); it != m_bytes.end() && it->first < address + length; ++it)
        out[static_cast<qsizetype>(it->first - address)] = static_cast<char>(it->second);
    return out;
}

std::vector<FlashMemory::Region> FlashMemory::regions() const
{
    std::vector<Region> out;
    for (const auto &[address, byte] : m_bytes) {
        if (out.empty() || out.back().address + static_cast<uint32_t>(out.back().data.size()) != address)
            out.push_back({address, {}});
        out.back().data.append(static_cast<char>(byte));
    }
    return out;
}

} // namespace flashwell::lab
