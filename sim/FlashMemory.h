#pragma once

#include <QByteArray>

#include <cstdint>
#include <map>
#include <span>
#include <vector>

namespace flashwell::lab {

// A device's flash as the lab sees it: only written bytes exist, so a test can compare exactly
// what was written with what the file holds.
class FlashMemory
{
public:
    struct Region
    {
        uint32_t address;
        QByteArray data;
    };

    void write(uint32_t address, std::span<const uint8_t> bytes);
    void erase(uint32_t address, uint32_t length);
    // Bytes never written read as 0xFF, as erased flash does.
    QByteArray read(uint32_t address, uint32_t length) const;
    // Contiguous written ranges, ascending.
    std::vector<Region> regions() const;
    bool empty() const { return m_bytes.empty(); }

private:
    std::map<uint32_t, uint8_t> m_bytes;
};

} // namespace flashwell::lab
