// Catches: a recording that leaves out one of the vendors the product talks to, or takes in a keyboard.
#include "update/ProcessRecording.h"
#include "platform/VirtualHidBus.h"
#include "platform/VirtualScheduler.h"
#include <gtest/gtest.h>

using namespace flashwell;

TEST(ProcessRecording, RecordsEveryVendorTheProductTalksToAndNothingElse)
{
    struct Row
    {
        uint16_t vid;
        bool ours;
    };
    // Ours, the classic bootloader's borrowed id, and the Switch, Sony and Xinput identities the
    // controllers take on; a keyboard's vendor is not.
    const Row rows[] = {{0x2DC8, true}, {0x0483, true}, {0x057E, true},
                        {0x054C, true}, {0x045E, true}, {0x046D, false}};
    VirtualScheduler clock;
    VirtualHidBus bus(clock);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.vid);
        HidDevice *device = bus.plug({row.vid, 0x1234, QStringLiteral("Device")}, nullptr);
        ASSERT_NE(device, nullptr);
        EXPECT_EQ(process_recording::isOurDevice(*device), row.ours);
        bus.unplug(device);
    }
}
