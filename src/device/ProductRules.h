#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

// The product rules of the normal-mode watchers, named once and shared with the lab's models.
namespace flashwell::products {

// The product IDs that also take the 0x81-led extended query and boot commands.
inline constexpr std::array<uint16_t, 27> kExtendedCommandPids = {
    0x2100, 0x2101, 0x3010, 0x3011, 0x3012, 0x3013, 0x3015, 0x3016, 0x3017, 0x3100, 0x3103, 0x3105, 0x3107, 0x3109,
    0x5006, 0x5111, 0x5112, 0x6000, 0x6002, 0x6003, 0x6006, 0x6007, 0x6008, 0x9020, 0x9025, 0x9026, 0x9029,
};
constexpr bool takesExtendedCommands(uint16_t pid)
{
    return std::find(kExtendedCommandPids.begin(), kExtendedCommandPids.end(), pid) != kExtendedCommandPids.end();
}

// Products whose version replies also carry their bootloader's version.
constexpr bool reportsBootVersion(uint16_t pid)
{
    return pid == 0x6000 || pid == 0x6001 || pid == 0x6002;
}
// Where a D-input reply (either layout) carries that version: bytes 5-6 or 6-7.
constexpr bool bootVersionAtByte6(uint16_t pid)
{
    return pid == 0x6002;
}

// Products whose layout-A reply says in byte 5 whether they can switch to their bootloader.
constexpr bool reportsSwitchFlagInLayoutA(uint16_t pid)
{
    return pid == 0x3100 || pid == 0x3102 || pid == 0x3104;
}
// The product whose vendor reply says the same in byte 10.
constexpr bool reportsSwitchFlagInVendorReply(uint16_t pid)
{
    return pid == 0x3101;
}

// Products that must be moved back to D-input mode when found in a vendor mode.
constexpr bool returnsToDinput(uint16_t pid)
{
    return pid == 0x3100 || pid == 0x3104 || pid == 0x3010 || pid == 0x3105;
}

// One receiver product ID for two products; a layout-B reply's sub-PID tells which.
inline constexpr uint16_t kDualReceiverPid = 0x3109;
inline constexpr uint16_t kDualReceiverSubPid = 0x3013;

} // namespace flashwell::products
