#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BrelioSync/PassSchedule.h"
#include "StorageFixture.h"

namespace brelio::test {
namespace {

constexpr DWORD kIdleTime = 500;

// A file written again and again, more often than the idle time, while
// another file is edited once.
struct SteadyWrites {
    const char* title;
    const wchar_t* noisy;
    bool masked;         // the noisy file is in the ignore list
    bool selectionDocs;  // only "Docs" is synced
    const wchar_t* edited;
};

void PrintTo(const SteadyWrites& c, std::ostream* out) { *out << c.title; }

class PassesUnderSteadyWrites : public StorageUpdateTest, public ::testing::WithParamInterface<SteadyWrites> {};

TEST_P(PassesUnderSteadyWrites, StillComeAndTakeTheOtherEdit) {
    const SteadyWrites& c = GetParam();
    SetSyncIdleTime(kIdleTime);
    CSyncFolderList selection;
    if (c.selectionDocs) selection.Add(L"Docs", 5);
    StartMonitor();
    StartStorage(&selection);
    MakeFolder(L"Docs");  // after the start: Wine watches only those
    if (c.masked) m_ignoreList.Add(c.noisy);
    Write(c.edited, "edited once");

    // Bounded: several times the longest a recorded change may wait.
    const ULONGLONG bound = CPassSchedule::PendingBound(kIdleTime);
    const int rounds = static_cast<int>(4 * (bound + kIdleTime) / (kIdleTime / 3));
    int passes = 0;
    bool editInFirstPass = false;
    for (int round = 0; round < rounds && passes < 2; ++round) {
        Write(c.noisy, "write " + std::to_string(round));
        if (m_partialSync.Wait(kIdleTime / 3) != WAIT_OBJECT_0) continue;
        if (++passes == 1) {
            const std::vector<ChangeRow> changes = Changes();
            editInFirstPass = std::any_of(changes.begin(), changes.end(),
                                          [&](const ChangeRow& row) { return row.name == c.edited; });
        }
    }
    StopThreads();
    EXPECT_EQ(passes, 2) << "the partial-sync event, set over and over while the writes go on";
    EXPECT_TRUE(editInFirstPass) << "the other edit was recorded before the first pass";
}

INSTANTIATE_TEST_SUITE_P(
    IdlePass, PassesUnderSteadyWrites,
    ::testing::Values(SteadyWrites{"AFileTheSyncWrites", L"noisy.txt", true, false, L"other.txt"},
                      SteadyWrites{"AFileOutsideTheSelection", L"noisy.txt", false, true, L"Docs\\other.txt"},
                      SteadyWrites{"AFileTheUserWrites", L"noisy.txt", false, false, L"other.txt"}),
    [](const ::testing::TestParamInfo<SteadyWrites>& info) { return info.param.title; });

}  // namespace
}  // namespace brelio::test
