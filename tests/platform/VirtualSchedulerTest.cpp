// Catches: virtual timers run out of order, twice, after cancelling or for a destroyed context.
#include "platform/VirtualScheduler.h"

#include <QObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

using flashwell::VirtualScheduler;

TEST(VirtualScheduler, TaskSeesItsOwnDueTimeAndMayScheduleMore)
{
    VirtualScheduler s;
    std::vector<int64_t> seen;
    s.after(100, [&] {
        seen.push_back(s.nowMs());
        s.after(50, [&] { seen.push_back(s.nowMs()); });
    });
    s.advance(1000);
    EXPECT_EQ(seen, (std::vector<int64_t>{100, 150}));
    EXPECT_EQ(s.nowMs(), 1000);
}

TEST(VirtualScheduler, CancelAndRepeatingTimers)
{
    VirtualScheduler s;
    int ticks = 0;
    bool cancelledRan = false;
    const auto cancelled = s.after(10, [&] { cancelledRan = true; });
    s.cancel(cancelled);
    const auto every = s.every(3000, [&] { ++ticks; });
    s.advance(20'000);
    EXPECT_FALSE(cancelledRan);
    EXPECT_EQ(ticks, 6);
    s.cancel(every);
    EXPECT_TRUE(s.runUntilIdle());
    EXPECT_EQ(ticks, 6);
}

TEST(VirtualScheduler, RepeatingTimerCanCancelItselfFromItsTask)
{
    VirtualScheduler s;
    int ticks = 0;
    VirtualScheduler::TimerId id = 0;
    id = s.every(10, [&] {
        if (++ticks == 3)
            s.cancel(id);
    });
    s.advance(100);
    EXPECT_EQ(ticks, 3);
}

// A repeating task that moves the clock past its own next tick: that tick is not run inside the
// running one, and the timer goes on ticking afterwards.
TEST(VirtualScheduler, RepeatingTaskThatAdvancesTheClockItselfKeepsTicking)
{
    VirtualScheduler s;
    int ticks = 0;
    s.every(10, [&] {
        if (++ticks == 1)
            s.advance(15);
    });
    s.advance(40);
    EXPECT_EQ(ticks, 3) << "ticks at 10, (20 skipped inside the first), 30 and 40";
}

// A timer that stops itself and schedules its successor in the same turn: the successor takes the
// freed place and must be the one that runs, once.
TEST(VirtualScheduler, TaskScheduledByACancelledRepeatingTimerRunsInsteadOfIt)
{
    VirtualScheduler s;
    int ticks = 0;
    int successor = 0;
    VirtualScheduler::TimerId id = 0;
    id = s.every(10, [&] {
        ++ticks;
        s.cancel(id);
        s.after(5, [&] { ++successor; });
    });
    s.advance(100);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(successor, 1);
    EXPECT_EQ(s.pendingCount(), 0U);
}

TEST(VirtualScheduler, SkipsTaskWhoseContextIsGone)
{
    VirtualScheduler s;
    bool ran = false;
    auto context = std::make_unique<QObject>();
    s.after(
        5, [&] { ran = true; }, context.get());
    context.reset();
    s.advance(10);
    EXPECT_FALSE(ran);
}

// Many timers with colliding due times, some cancelled, some scheduled by running tasks: they run
// in due order, ties in the order they were scheduled, the cancelled never.
TEST(VirtualScheduler, ManyTimersRunInDueAndSchedulingOrder)
{
    VirtualScheduler s;
    struct Ran
    {
        int64_t at;
        int order;
    };
    std::vector<Ran> ran;
    std::vector<VirtualScheduler::TimerId> ids;
    int scheduled = 0;
    uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int64_t>((seed >> 16) % 50);
    };
    std::function<void(int)> add = [&](int depth) {
        const int order = scheduled++;
        ids.push_back(s.after(next(), [&, order, depth] {
            ran.push_back({s.nowMs(), order});
            if (depth < 2)
                add(depth + 1);
        }));
    };
    for (int i = 0; i < 200; ++i)
        add(0);
    for (std::size_t i = 0; i < ids.size(); i += 7)
        s.cancel(ids[i]);
    s.runUntilIdle();
    EXPECT_EQ(s.pendingCount(), 0u);
    ASSERT_FALSE(ran.empty());
    for (std::size_t i = 1; i < ran.size(); ++i) {
        EXPECT_LE(ran[i - 1].at, ran[i].at);
        if (ran[i - 1].at == ran[i].at) {
            EXPECT_LT(ran[i - 1].order, ran[i].order) << "ties run in scheduling order";
        }
    }
    for (const Ran &r : ran)
        EXPECT_NE(r.order % 7 == 0 && r.order < 200, true) << "cancelled timer " << r.order << " ran";
}

// A repeating timer re-armed among later one-shots still runs in due order.
TEST(VirtualScheduler, RepeatingTimerKeepsItsPlaceAmongOneShots)
{
    VirtualScheduler s;
    std::vector<int64_t> ran;
    const auto record = [&] { ran.push_back(s.nowMs()); };
    const auto every = s.every(1, record);
    for (const int64_t at : {5, 6, 7, 8, 9})
        s.after(at, record);
    s.advance(9);
    s.cancel(every);
    EXPECT_TRUE(std::is_sorted(ran.begin(), ran.end())) << ::testing::PrintToString(ran);
    EXPECT_EQ(ran.size(), 14u) << "nine ticks and five one-shots";
}
