#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "BrelioSync/PassSchedule.h"

namespace {

// What the storage-update thread saw, on its clock: 'r' a change recorded,
// 'p' a pass requested.
struct Seen {
    char what;
    ULONGLONG at;
};

struct ScheduleCase {
    const char* title;
    DWORD idleTime;
    std::vector<Seen> seen;
    ULONGLONG nextPass;
};

void PrintTo(const ScheduleCase& c, std::ostream* out) { *out << c.title; }

// Every 100 ms from `from` to `to`.
std::vector<Seen> SteadyChanges(ULONGLONG from, ULONGLONG to) {
    std::vector<Seen> seen;
    for (ULONGLONG at = from; at <= to; at += 100) seen.push_back({'r', at});
    return seen;
}

class PassSchedules : public ::testing::TestWithParam<ScheduleCase> {};

TEST_P(PassSchedules, DueAtTheEarliestOfIdleTimeAndBound) {
    CPassSchedule schedule(0);
    for (const Seen& seen : GetParam().seen) {
        if (seen.what == 'r')
            schedule.ChangeRecorded(seen.at);
        else
            schedule.PassRequested(seen.at);
    }
    EXPECT_EQ(schedule.NextPass(GetParam().idleTime), GetParam().nextPass);
}

INSTANTIATE_TEST_SUITE_P(
    PassSchedule, PassSchedules,
    ::testing::Values(ScheduleCase{"QuietPollsEveryIdleTime", 1000, {}, 1000},
                      ScheduleCase{"APassStartsTheNextPeriod", 1000, {{'p', 1000}}, 2000},
                      ScheduleCase{"ARecordedChangeWaitsTheIdleTime", 1000, {{'p', 1000}, {'r', 1500}}, 2500},
                      ScheduleCase{"EachRecordedChangeStartsTheIdleTimeAgain", 1000, {{'r', 500}, {'r', 900}}, 1900},
                      ScheduleCase{"SteadyChangesWaitThreeIdleTimesAtMost", 1000, SteadyChanges(500, 3400), 3500},
                      ScheduleCase{"AShortIdleTimeWaitsTwoSecondsAtMost", 100, SteadyChanges(10, 2500), 2010},
                      ScheduleCase{"APassTakesWhatWasPending", 1000, {{'r', 500}, {'p', 1500}}, 2500}),
    [](const ::testing::TestParamInfo<ScheduleCase>& info) { return info.param.title; });

TEST(PassSchedule, TimeToPassIsZeroWhenDueAndNeverEndless) {
    CPassSchedule schedule(0);
    EXPECT_EQ(schedule.TimeToPass(400, 1000), 600u);
    EXPECT_EQ(schedule.TimeToPass(1000, 1000), 0u);
    EXPECT_EQ(schedule.TimeToPass(5000, 1000), 0u);
    EXPECT_NE(schedule.TimeToPass(0, INFINITE), INFINITE);
}

}  // namespace
