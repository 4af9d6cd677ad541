#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioSync/StopMarker.h"
#include "MonitorFixture.h"

namespace brelio::test {
namespace {

struct LocalEdit {
    const char* title;
    std::vector<Step> before;  // done before the monitor starts
    std::vector<Step> edit;
    std::vector<Queued> queued;
};

void PrintTo(const LocalEdit& edit, std::ostream* out) { *out << edit.title; }

class LocalEdits : public MonitorTest, public ::testing::WithParamInterface<LocalEdit> {};

TEST_P(LocalEdits, QueueTheReportedChangesInOrder) {
    Run(GetParam().before);
    StartMonitor();
    Run(GetParam().edit);
    EXPECT_EQ(StopAndTake(), GetParam().queued);
    EXPECT_EQ(m_fullSync.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT)) << "no event was lost";
}

INSTANTIATE_TEST_SUITE_P(
    Monitor, LocalEdits,
    ::testing::Values(
        LocalEdit{"AddFile", {}, {{'w', L"new.txt"}}, {{1, L"new.txt"}, {3, L"new.txt"}}},
        LocalEdit{"SaveFileThreeTimes",
                  {{'w', L"a.txt"}},
                  {{'w', L"a.txt", L"1"}, {'w', L"a.txt", L"2"}, {'w', L"a.txt", L"3"}},
                  {{3, L"a.txt"}}},
        LocalEdit{"DeleteFile", {{'w', L"gone.txt"}}, {{'x', L"gone.txt"}}, {{2, L"gone.txt"}}},
        LocalEdit{"RenameFile", {{'w', L"a.txt"}}, {{'r', L"a.txt", L"b.txt"}}, {{4, L"a.txt"}, {5, L"b.txt"}}},
        LocalEdit{"AddFolderWithFile",
                  {},
                  {{'d', L"Docs"}, {'w', L"Docs\\in.txt"}},
                  {{1, L"Docs", true}, {1, L"Docs\\in.txt"}, {3, L"Docs\\in.txt"}}},
        LocalEdit{"RenameFolder",
                  {{'d', L"Docs"}},
                  {{'r', L"Docs", L"Papers"}},
                  {{4, L"Docs"}, {5, L"Papers", true}}},
        LocalEdit{"DeleteFolder", {{'d', L"Old"}}, {{'x', L"Old"}}, {{2, L"Old"}}},
        LocalEdit{"SaveByRename",
                  {{'w', L"A.txt"}},
                  {{'w', L"A.tmp"}, {'r', L"A.txt", L"A.bak"}, {'r', L"A.tmp", L"A.txt"}, {'x', L"A.bak"}},
                  {{1, L"A.tmp"}, {3, L"A.tmp"}, {4, L"A.txt"}, {5, L"A.bak"}, {4, L"A.tmp"}, {5, L"A.txt"},
                   {2, L"A.bak"}}},
        LocalEdit{"RotatingRename",
                  {{'w', L"1.log"}, {'w', L"2.log"}, {'w', L"3.log"}},
                  {{'x', L"3.log"}, {'r', L"2.log", L"3.log"}, {'r', L"1.log", L"2.log"}, {'w', L"1.log"}},
                  {{2, L"3.log"}, {4, L"2.log"}, {5, L"3.log"}, {4, L"1.log"}, {5, L"2.log"}, {1, L"1.log"},
                   {3, L"1.log"}}},
        LocalEdit{"ReplacingMove",
                  {{'w', L"a.txt"}, {'w', L"b.txt"}},
                  {{'r', L"a.txt", L"b.txt"}},
                  {{4, L"a.txt"}, {5, L"b.txt"}}},
        LocalEdit{"StopMarkerInASubfolderIsAFile",
                  {},
                  {{'d', L"sub"}, {'w', L"sub\\$$$__STOP__$$$"}, {'w', L"after.txt"}},
                  {{1, L"sub", true},
                   {1, L"sub\\$$$__STOP__$$$"},
                   {3, L"sub\\$$$__STOP__$$$"},
                   {1, L"after.txt"},
                   {3, L"after.txt"}}},
        // A download's temporary file, written and renamed onto its target,
        // is the engine's own; a user's file that only looks alike is not.
        LocalEdit{"EngineTemporaryFilesAreDropped",
                  {},
                  {{'d', L"sub"},
                   {'w', L"sub\\$$$brelio-0123456789abcdef.tmp"},
                   {'r', L"sub\\$$$brelio-0123456789abcdef.tmp", L"sub\\got.txt"},
                   {'w', L"$$$brelio-FEDCBA9876543210.tmp"},
                   {'x', L"$$$brelio-FEDCBA9876543210.tmp"},
                   {'w', L"$$$1234.tmp"}},
                  {{1, L"sub", true}, {5, L"sub\\got.txt"}, {1, L"$$$1234.tmp"}, {3, L"$$$1234.tmp"}}}),
    [](const ::testing::TestParamInfo<LocalEdit>& info) { return info.param.title; });

// Changes made while the monitor is held up, as on a busy machine: it reads
// them only once the later ones are done, when the middle names are gone.
// The folders are made after the monitor starts (under Wine only those are
// watched).
struct ReadLate {
    const char* title;
    std::vector<Step> setup;   // done before the monitor starts
    std::vector<Step> before;  // folders made, read as they come
    std::vector<Step> held;    // read only once all of them are done
    std::vector<Queued> queued;
};

void PrintTo(const ReadLate& edit, std::ostream* out) { *out << edit.title; }

class ChangesReadLate : public MonitorTest, public ::testing::WithParamInterface<ReadLate> {};

TEST_P(ChangesReadLate, TellAFolderByTheNameItHasNow) {
    Run(GetParam().setup);
    StartMonitor();
    Run(GetParam().before);
    // Every change made so far has been read: one event per folder made.
    std::vector<Queued> queued;
    const ULONGLONG start = ::GetTickCount64();
    while (queued.size() < GetParam().before.size() && ::GetTickCount64() - start < 10000) {
        m_queue.Wait(100);
        for (const Queued& change : TakeQueued(m_queue, m_root)) queued.push_back(change);
    }
    ASSERT_EQ(queued.size(), GetParam().before.size());
    // A folder's report leaves the monitor before it asks for the next
    // events, and a loaded Wine may take the folder into the watch only
    // then: a move into it made while the monitor is held would read as a
    // removal.
    for (const Step& step : GetParam().before) {
        if (step.op != 'd') continue;
        ASSERT_TRUE(WaitUntilWatched(step.a, queued))
            << "the monitor never reported a file made in " << std::string(step.a, step.a + ::wcslen(step.a));
    }
    ASSERT_NE(::SuspendThread(m_monitor.GetThreadHandle()), static_cast<DWORD>(-1));
    // A suspension takes effect a moment later; reading the thread's
    // registers waits for it.
    CONTEXT context = {};
    context.ContextFlags = CONTEXT_CONTROL;
    ASSERT_TRUE(::GetThreadContext(m_monitor.GetThreadHandle(), &context));
    Run(GetParam().held);
    ASSERT_NE(::ResumeThread(m_monitor.GetThreadHandle()), static_cast<DWORD>(-1));
    for (const Queued& change : StopAndTake()) queued.push_back(change);
    EXPECT_EQ(queued, GetParam().queued);
}

INSTANTIATE_TEST_SUITE_P(
    Monitor, ChangesReadLate,
    ::testing::Values(
        ReadLate{"FolderRenamedTwice",
                 {},
                 {{'d', L"E"}},
                 {{'r', L"E", L"E1"}, {'r', L"E1", L"E2"}},
                 {{1, L"E", true}, {4, L"E"}, {5, L"E1", true}, {4, L"E1"}, {5, L"E2", true}}},
        ReadLate{"FolderMadeAndRenamedTwice",
                 {},
                 {},
                 {{'d', L"N"}, {'r', L"N", L"N1"}, {'r', L"N1", L"N2"}},
                 {{1, L"N", true}, {4, L"N"}, {5, L"N1", true}, {4, L"N1"}, {5, L"N2", true}}},
        ReadLate{"FolderMovedIntoOneThenThatRenamedTwice",
                 {},
                 {{'d', L"C"}, {'d', L"E"}},
                 {{'r', L"C", L"E\\C"}, {'r', L"E", L"E1"}, {'r', L"E1", L"E2"}},
                 {{1, L"C", true},
                  {1, L"E", true},
                  {4, L"C"},
                  {5, L"E\\C", true},
                  {4, L"E"},
                  {5, L"E1", true},
                  {4, L"E1"},
                  {5, L"E2", true}}},
        ReadLate{"FileRenamedTwice",
                 {{'w', L"f.txt"}},
                 {},
                 {{'r', L"f.txt", L"g.txt"}, {'r', L"g.txt", L"h.txt"}},
                 {{4, L"f.txt"}, {5, L"g.txt"}, {4, L"g.txt"}, {5, L"h.txt"}}}),
    [](const ::testing::TestParamInfo<ReadLate>& info) { return info.param.title; });

TEST_F(MonitorTest, IgnoredPathsAreDropped) {
    StartMonitor();
    m_ignoreList.Add(L"Docs\\Skip.txt");
    Run({{'d', L"Docs"}, {'w', L"docs\\skip.txt"}, {'w', L"Docs\\keep.txt"}});
    EXPECT_EQ(StopAndTake(), (std::vector<Queued>{{1, L"Docs", true}, {1, L"Docs\\keep.txt"}, {3, L"Docs\\keep.txt"}}));
}

TEST_F(MonitorTest, StopLeavesNoMarkerAndTheMonitorRunsAgain) {
    StartMonitor();
    Write(L"first.txt");
    EXPECT_EQ(StopAndTake(), (std::vector<Queued>{{1, L"first.txt"}, {3, L"first.txt"}}));
    EXPECT_FALSE(FileExists(Local(kStopMarkerName)));

    StartMonitor();
    Write(L"second.txt");
    EXPECT_EQ(StopAndTake(), (std::vector<Queued>{{1, L"second.txt"}, {3, L"second.txt"}}));
    EXPECT_FALSE(FileExists(Local(kStopMarkerName)));
}

TEST_F(MonitorTest, AStartWhileRunningChangesNothing) {
    CTempFolder other;
    ASSERT_TRUE(other.Create());
    StartMonitor();
    CFileChangeQueue otherQueue;
    EXPECT_EQ(m_monitor.Start(&otherQueue, nullptr, nullptr, other.Path()), HRESULT_FROM_WIN32(ERROR_BUSY));
    Write(L"still.txt");
    EXPECT_EQ(StopAndTake(), (std::vector<Queued>{{1, L"still.txt"}, {3, L"still.txt"}}));
    EXPECT_TRUE(otherQueue.IsEmpty());
    EXPECT_FALSE(FileExists(other / kStopMarkerName)) << "the stop went to the folder being watched";
}

TEST_F(MonitorTest, AMarkerWrittenIntoTheSyncFolderEndsTheMonitor) {
    StartMonitor();
    Write(kStopMarkerName);
    EXPECT_EQ(::WaitForSingleObject(m_monitor.GetThreadHandle(), 10000), WAIT_OBJECT_0);
    EXPECT_FALSE(FileExists(Local(kStopMarkerName)));
    EXPECT_EQ(m_monitor.Stop(4000), S_OK);
}

// A folder of the marker's name: the marker cannot be written, and only
// cancelling the blocked read ends the monitor.
TEST_F(MonitorTest, StopEndsAReadThatNoMarkerWakes) {
    MakeFolder(kStopMarkerName);
    StartMonitor();
    EXPECT_EQ(m_monitor.Stop(4000), S_OK);
    EXPECT_EQ(m_monitor.GetThreadHandle(), nullptr);
}

TEST_F(MonitorTest, AMonitorDeletedWhileRunningStopsFirst) {
    auto monitor = std::make_unique<CFileMonitorThread>();
    ASSERT_EQ(monitor->Start(&m_queue, &m_ignoreList, &m_fullSync, m_root), S_OK);
    brelio::UniqueKernelHandle thread;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), monitor->GetThreadHandle(), ::GetCurrentProcess(),
                                  thread.Put(), SYNCHRONIZE, FALSE, 0));
    monitor.reset();
    EXPECT_EQ(::WaitForSingleObject(thread.Get(), 0), WAIT_OBJECT_0) << "the thread had ended when its object went";
    EXPECT_FALSE(FileExists(Local(kStopMarkerName)));
}

class SmallBufferMonitorTest : public MonitorTest {
protected:
    SmallBufferMonitorTest() : MonitorTest(64) {}
};

TEST_F(SmallBufferMonitorTest, LostEventsRequestAFullSync) {
    StartMonitor();
    for (int i = 0; i < 50; ++i) Write(L"a-name-longer-than-the-change-buffer-" + std::to_wstring(i) + L".txt");
    EXPECT_EQ(m_fullSync.Wait(10000), 0u);
}

}  // namespace
}  // namespace brelio::test
