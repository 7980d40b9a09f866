#include "FlashMemory.h"

#include <gtest/gtest.h>

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
