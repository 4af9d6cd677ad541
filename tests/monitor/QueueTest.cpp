#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "BrelioSync/FileChangeQueue.h"
#include "MonitorFixture.h"

namespace brelio::test {
namespace {

std::unique_ptr<CFileChange> Change(const wchar_t* path, int action, bool isFolder, DWORD time) {
    auto change = std::make_unique<CFileChange>();
    change->path = path;
    change->action = action;
    change->isFolder = isFolder;
    change->time.dwLowDateTime = time;
    return change;
}

struct TailCase {
    const char* title;
    std::vector<Queued> pushed;
    std::vector<Queued> queued;
};

void PrintTo(const TailCase& tail, std::ostream* out) { *out << tail.title; }

class TailMerging : public ::testing::TestWithParam<TailCase> {};

TEST_P(TailMerging, OnlyAChangeEqualToTheTailIsFolded) {
    CFileChangeQueue queue;
    for (const Queued& change : GetParam().pushed) queue.Enqueue(change.name.c_str(), change.action, change.isFolder);
    EXPECT_EQ(TakeQueued(queue, L"C:\\root"), GetParam().queued);
}

INSTANTIATE_TEST_SUITE_P(
    Queue, TailMerging,
    ::testing::Values(
        TailCase{"SavedThreeTimes", {{3, L"a.txt"}, {3, L"a.txt"}, {3, L"a.txt"}}, {{3, L"a.txt"}}},
        TailCase{"OtherLetterCase", {{3, L"Docs\\A.txt"}, {3, L"docs\\a.TXT"}}, {{3, L"Docs\\A.txt"}}},
        TailCase{"AnotherChangeBetween",
                 {{3, L"a.txt"}, {3, L"b.txt"}, {3, L"a.txt"}},
                 {{3, L"a.txt"}, {3, L"b.txt"}, {3, L"a.txt"}}},
        TailCase{"AnotherAction", {{1, L"a.txt"}, {3, L"a.txt"}}, {{1, L"a.txt"}, {3, L"a.txt"}}},
        TailCase{"AnotherFolderFlag", {{2, L"a"}, {2, L"a", true}}, {{2, L"a"}, {2, L"a", true}}},
        TailCase{"FolderModifiedDropped",
                 {{1, L"d", true}, {3, L"d", true}, {4, L"d", false}, {5, L"e", true}, {2, L"e", false}},
                 {{1, L"d", true}, {4, L"d", false}, {5, L"e", true}, {2, L"e", false}}}),
    [](const ::testing::TestParamInfo<TailCase>& info) { return info.param.title; });

TEST(Queue, AMergedChangeTakesTheLaterTime) {
    CFileChangeQueue queue;
    queue.Push(Change(L"C:\\root\\a.txt", 3, false, 10));
    queue.Push(Change(L"C:\\root\\a.txt", 3, false, 20));
    queue.Push(Change(L"C:\\root\\a.txt", 3, false, 30));
    std::unique_ptr<CFileChange> change;
    ASSERT_TRUE(queue.Pop(change));
    EXPECT_EQ(change->time.dwLowDateTime, 30u);
    EXPECT_FALSE(queue.Pop(change));
}

TEST(Queue, PopOnAnEmptyQueueLeavesTheCallersChange) {
    CFileChangeQueue queue;
    std::unique_ptr<CFileChange> change = Change(L"C:\\root\\kept.txt", 1, false, 1);
    EXPECT_FALSE(queue.Pop(change));
    ASSERT_NE(change, nullptr);
    EXPECT_EQ(change->path, L"C:\\root\\kept.txt");
}

TEST(Queue, ClearEmptiesIt) {
    CFileChangeQueue queue;
    queue.Enqueue(L"C:\\root\\a.txt", 1, false);
    queue.Enqueue(L"C:\\root\\b.txt", 1, false);
    queue.Clear();
    EXPECT_TRUE(queue.IsEmpty());
}

}  // namespace
}  // namespace brelio::test
