// Catches: a pump that lets virtual time outrun the wall clock while a server is asked, stalls it, or never gives up.
#include "rigs/MixedTimePump.h"
#include "platform/VirtualScheduler.h"

#include <QTimer>

#include <gtest/gtest.h>

using namespace flashwell;
using flashwell::lab::MixedTimePump;

// Nothing waits on a server: virtual time runs straight to the next task, however far ahead.
TEST(MixedTimePump, UnpacedVirtualTimeRunsAsFastAsItsTasks)
{
    VirtualScheduler clock;
    bool fired = false;
    clock.after(600'000, [&] { fired = true; });
    MixedTimePump pump(clock);
    ASSERT_TRUE(pump.runUntil([&] { return fired; }, 5000));
    EXPECT_EQ(clock.nowMs(), 600'000);
}

// While a request waits, virtual time keeps the wall clock's pace: the ten-minute task does not
// run before the wall time-out, and the run says it did not get there.
TEST(MixedTimePump, PacedVirtualTimeFollowsTheWallClockAndTheTimeOutEndsTheRun)
{
    VirtualScheduler clock;
    bool fired = false;
    clock.after(600'000, [&] { fired = true; });
    MixedTimePump pump(clock);
    pump.paced = [] { return true; };
    EXPECT_FALSE(pump.runUntil([&] { return fired; }, 30));
    EXPECT_FALSE(fired);
    EXPECT_LE(clock.nowMs(), 30) << "no more virtual time than wall time";
}

// A caller waiting for a moment of virtual time, with no task to get there, gets there in steps.
TEST(MixedTimePump, IdleVirtualTimeMovesInItsStepsWhenAsked)
{
    VirtualScheduler clock;
    MixedTimePump pump(clock);
    pump.idleStepMs = 10;
    ASSERT_TRUE(pump.runUntil([&] { return clock.nowMs() >= 1000; }, 5000));
    EXPECT_EQ(clock.nowMs(), 1000);
}

// The event loop turns too: what a server's answer would do (here a zero-time Qt timer) ends the run.
TEST(MixedTimePump, EventsAreDeliveredBetweenTurns)
{
    VirtualScheduler clock;
    bool answered = false;
    QTimer::singleShot(0, [&] { answered = true; });
    MixedTimePump pump(clock);
    EXPECT_TRUE(pump.runUntil([&] { return answered; }, 5000));
}

// With a bound and no pacing signal, virtual time stays within the bound of the wall clock.
TEST(MixedTimePump, BoundedVirtualTimeStaysWithinItsSpeedup)
{
    VirtualScheduler clock;
    bool fired = false;
    clock.after(600'000, [&] { fired = true; });
    MixedTimePump pump(clock);
    pump.maxSpeedup = 2;
    EXPECT_FALSE(pump.runUntil([&] { return fired; }, 30));
    EXPECT_FALSE(fired);
    EXPECT_LE(clock.nowMs(), 2 * 30 + 20) << "twice the wall time at most, plus one step";
}
