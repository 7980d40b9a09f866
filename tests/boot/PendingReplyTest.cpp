// Catches: a pending reply handler run for a reply it did not take, or kept or dropped wrongly after running.
#include "boot/PendingReply.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

using flashwell::PendingReply;

namespace {
const std::array<uint8_t, 2> kReply{0x05, 0x01};
}

// A reply is handed to the pending handler; what is pending afterwards depends on what the handler
// did: a successor it registered, nothing when it cleared, else itself, for the next reply too.
TEST(PendingReply, WhatIsPendingAfterTheHandlerRan)
{
    struct Row
    {
        const char *what;
        int action; // 0 nothing, 1 registers a successor, 2 clears
        bool waitingAfter;
        std::vector<std::string> afterTwoReplies;
    };
    const Row rows[] = {
        {"a handler that registers nothing stays pending", 0, true, {"first", "first"}},
        {"a successor replaces it", 1, true, {"first", "second"}},
        {"a cleared request takes nothing more", 2, false, {"first"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        PendingReply pending;
        std::vector<std::string> ran;
        pending.expect(0x10, [&](std::span<const uint8_t> report) {
            ran.emplace_back("first");
            EXPECT_EQ(report.size(), kReply.size());
            if (row.action == 1)
                pending.expect(0x11, [&](std::span<const uint8_t>) { ran.emplace_back("second"); });
            else if (row.action == 2)
                pending.clear();
        });
        for (int reply = 0; reply < 2 && pending.waiting(); ++reply)
            pending.dispatch([](const PendingReply::Handler &handler) {
                if (handler)
                    handler(kReply);
            });
        EXPECT_EQ(pending.waiting(), row.waitingAfter);
        EXPECT_EQ(ran, row.afterTwoReplies);
        if (row.action == 1) {
            EXPECT_EQ(pending.command(), 0x11);
        }
    }
}

// A reply that the session does not take (another command's) leaves the handler where it was.
TEST(PendingReply, AReplyNotTakenLeavesTheHandlerPending)
{
    PendingReply pending;
    int runs = 0;
    pending.expect(0x20, [&](std::span<const uint8_t>) { ++runs; });
    pending.dispatch([](const PendingReply::Handler &) {});
    pending.dispatch([](const PendingReply::Handler &handler) { handler(kReply); });
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(pending.waiting());
}
