// Catches: a pump that lets virtual time outrun the wall clock while a server is asked, stalls it, or never gives up.
#include "rigs/MixedTimePump.h"
#include "platform/VirtualScheduler.h"

#include <QTimer>

#include <gtest/gtest.h>

using namespace flashwell;
using flashwell::lab::MixedTimePump;

// A task ten minutes of virtual time away: unpaced, virtual time runs straight to it; paced (a
// request waits) or bounded, virtual time keeps to the wall clock and the wall time-out ends the run.
TEST(MixedTimePump, VirtualTimeRunsFreeOnlyWhileNothingPacesIt)
{
    struct Row
    {
        const char *what;
        bool paced;
        int maxSpeedup;
        bool reached;
        int64_t atMostMs;
    };
    for (const Row row : {Row{"unpaced", false, 0, true, 600'000}, Row{"paced", true, 0, false, 30},
                          Row{"twice the wall clock", false, 2, false, 2 * 30 + 20}}) {
        SCOPED_TRACE(row.what);
        VirtualScheduler clock;
        bool fired = false;
        clock.after(600'000, [&] { fired = true; });
        MixedTimePump pump(clock);
        if (row.paced)
            pump.paced = [] { return true; };
        pump.maxSpeedup = row.maxSpeedup;
        EXPECT_EQ(pump.runUntil([&] { return fired; }, row.reached ? 5000 : 30), row.reached);
        EXPECT_EQ(fired, row.reached);
        EXPECT_LE(clock.nowMs(), row.atMostMs);
    }
}

// Idle virtual time moves in its steps for a caller waiting for a moment of it, and the event
// loop turns between steps (a server's answer, here a zero-time Qt timer).
TEST(MixedTimePump, IdleTimeMovesInStepsAndEventsAreDelivered)
{
    VirtualScheduler clock;
    MixedTimePump pump(clock);
    pump.idleStepMs = 10;
    ASSERT_TRUE(pump.runUntil([&] { return clock.nowMs() >= 1000; }, 5000));
    EXPECT_EQ(clock.nowMs(), 1000);
    bool answered = false;
    QTimer::singleShot(0, [&] { answered = true; });
    EXPECT_TRUE(pump.runUntil([&] { return answered; }, 5000));
}
