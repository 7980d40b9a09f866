#include "platform/VirtualScheduler.h"

#include <QObject>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using flashwell::VirtualScheduler;

TEST(VirtualScheduler, RunsTasksInDueOrderAndSchedulingOrderForTies)
{
    VirtualScheduler s;
    std::vector<int> order;
    s.after(20, [&] { order.push_back(3); });
    s.after(10, [&] { order.push_back(1); });
    s.after(10, [&] { order.push_back(2); });
    s.advance(15);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(s.nowMs(), 15);
    s.advance(5);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

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
