// Catches: a lab flash that reads back other bytes than were written, keeps erased ones, or splits its regions wrongly.
#include "models/FlashMemory.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using flashwell::lab::FlashMemory;

TEST(FlashMemory, WrittenBytesFormRegionsAcrossPagesAndErasedOnesReadAsFF)
{
    FlashMemory flash;
    std::vector<uint8_t> bytes(5000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i);
    flash.write(0x08000FF0, bytes); // spans three pages
    flash.write(0x80000000, std::vector<uint8_t>{1, 2});
    auto regions = flash.regions();
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_EQ(regions[0].address, 0x08000FF0u);
    EXPECT_EQ(regions[0].data.size(), 5000);
    EXPECT_EQ(regions[1].address, 0x80000000u);

    flash.erase(0x08001000, 100);
    regions = flash.regions();
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(regions[0].data.size(), 0x10);
    EXPECT_EQ(regions[1].address, 0x08001064u);
    const QByteArray around = flash.read(0x08000FFE, 4);
    EXPECT_EQ(static_cast<uint8_t>(around[0]), 0x0E);
    EXPECT_EQ(static_cast<uint8_t>(around[2]), 0xFF) << "erased";
    EXPECT_EQ(flash.read(0x20000000, 3), QByteArray(3, static_cast<char>(0xFF))) << "never written";
    flash.erase(0, 0xFFFFFFFF);
    flash.erase(0x80000000, 2);
    EXPECT_TRUE(flash.empty());
}

// Writes and erases in any order read back as a byte-by-byte model of the flash says.
TEST(FlashMemory, ReadsFollowEveryWriteAndErase)
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
}
