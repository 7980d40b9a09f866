// Catches: a lab flash that reads back other bytes than were written, keeps erased ones, or splits its regions wrongly.
#include "models/FlashMemory.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using flashwell::lab::FlashMemory;

// Writes and erases in any order, across pages, read back as a byte-by-byte model of the flash
// says (never written or erased: 0xFF), and the regions are exactly the written runs, ascending.
TEST(FlashMemory, ReadsAndRegionsFollowEveryWriteAndErase)
{
    FlashMemory flash;
    std::map<uint32_t, uint8_t> model; // written bytes only
    uint32_t seed = 7;
    const auto next = [&seed](uint32_t bound) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % bound;
    };
    constexpr uint32_t kBase = 0x08000000;
    for (int op = 0; op < 300; ++op) {
        const uint32_t at = kBase + next(3 * 4096);
        const uint32_t length = 1 + next(700);
        if (next(3) == 0) {
            flash.erase(at, length);
            for (uint32_t i = 0; i < length; ++i)
                model.erase(at + i);
        } else {
            std::vector<uint8_t> bytes(length);
            for (uint32_t i = 0; i < length; ++i) {
                bytes[i] = static_cast<uint8_t>(next(256));
                model[at + i] = bytes[i];
            }
            flash.write(at, bytes);
        }
    }
    const QByteArray all = flash.read(kBase, 4 * 4096);
    for (uint32_t i = 0; i < 4 * 4096; ++i) {
        const auto found = model.find(kBase + i);
        ASSERT_EQ(static_cast<uint8_t>(all[static_cast<qsizetype>(i)]), found == model.end() ? 0xFF : found->second)
            << "at offset " << i;
    }
    std::vector<FlashMemory::Region> runs;
    for (const auto &[address, byte] : model) {
        if (runs.empty() || runs.back().address + runs.back().data.size() != address)
            runs.push_back({address, {}});
        runs.back().data.append(static_cast<char>(byte));
    }
    const auto regions = flash.regions();
    ASSERT_EQ(regions.size(), runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(regions[i].address, runs[i].address) << i;
        EXPECT_EQ(regions[i].data, runs[i].data) << i;
    }
    flash.erase(0, 0xFFFFFFFF);
    EXPECT_TRUE(flash.empty());
}
