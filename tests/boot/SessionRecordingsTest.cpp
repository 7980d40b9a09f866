// Catches: a bootloader session whose conversation differs from its recording by a byte, or that ends another way.
#include "runs/LabReplayRun.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace flashwell;
using namespace flashwell::lab;

namespace {

class SessionRecordings : public ::testing::TestWithParam<const char *>
{
};

} // namespace

// What each recording pins is listed in boot/recordings/README.md, with how it was made.
TEST_P(SessionRecordings, ReplayReportForReportAndEndAsRecorded)
{
    const QString base = QStringLiteral(FLASHWELL_BOOT_RECORDINGS "/") + QLatin1String(GetParam());
    LabReplayRun run({base + QStringLiteral(".jsonl"), base + QStringLiteral(".bin"), false, {}});
    QString error;
    ASSERT_TRUE(run.load(&error)) << qPrintable(error);
    const RecordingEvent *outcome = run.recording().step(QStringLiteral("outcome"));
    ASSERT_NE(outcome, nullptr);
    const ReplayResult r = run.run();
    ASSERT_NE(r.outcome, ReplayResult::Outcome::Diverged) << qPrintable(r.message);
    EXPECT_EQ(r.outcomeName(), outcome->json.value(QStringLiteral("result")).toString());
    EXPECT_EQ(r.message, outcome->json.value(QStringLiteral("message")).toString());
    EXPECT_EQ(r.reports, run.recording().outputReports);
}

INSTANTIATE_TEST_SUITE_P(Sessions, SessionRecordings,
                         ::testing::Values("classic-framed", "classic-empty", "second-gen-fixed", "second-gen-radio",
                                           "second-gen-radio-3", "second-gen-radio-6", "second-gen-erase-rounded",
                                           "second-gen-verified", "second-gen-verified-539", "second-gen-verified-540",
                                           "second-gen-corrupted", "jl-erase-unit-0", "jl-corrupted-head", "hjz-386"),
                         [](const auto &row) { return flashwell::test::testName(row.param); });
