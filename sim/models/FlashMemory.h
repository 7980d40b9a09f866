#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <array>
#include <bitset>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace flashwell::lab {

// A device's flash as the lab sees it: only written bytes exist, so a test can compare exactly
// what was written with what the file holds. Kept in 4 KiB pages so large images stay cheap.
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
    bool empty() const { return m_pages.empty(); }

private:
    static constexpr uint32_t kPageSize = 4096;
    // Bytes never written (or erased) hold 0xFF, so a read is a copy; `written` says which hold data.
    struct Page
    {
        Page() { bytes.fill(0xFF); }
        std::array<uint8_t, kPageSize> bytes;
        std::bitset<kPageSize> written;
    };
    std::map<uint32_t, Page> m_pages; // keyed by page number
};

// {"regions":[{"address":N,"data":"<hex>"}]}, ascending; `settings` (a block the device keeps
// outside its flash) takes its place among them.
QJsonObject flashDumpOf(const FlashMemory &flash, const std::optional<FlashMemory::Region> &settings = std::nullopt);

} // namespace flashwell::lab
