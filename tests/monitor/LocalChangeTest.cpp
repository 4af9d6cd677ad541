#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "BrelioSync/StopMarker.h"
#include "StorageFixture.h"

namespace brelio::test {
namespace {

// A local edit from the file system to the database: the monitor and the
// storage-update thread together.
struct RecordedEdit {
    const char* title;
    std::vector<FileRecord> rows;
    std::vector<Step> before;  // done before the threads start
    std::vector<Step> edit;
    std::vector<ChangeRow> changes;
    std::vector<RowSummary> files;
};

void PrintTo(const RecordedEdit& edit, std::ostream* out) { *out << edit.title; }

class RecordedEdits : public StorageUpdateTest, public ::testing::WithParamInterface<RecordedEdit> {};

TEST_P(RecordedEdits, ReachTheChangeTableAndTheFileRows) {
    SeedRows(GetParam().rows);
    Run(GetParam().before);
    StartThreads();
    Run(GetParam().edit);
    StopThreads();
    EXPECT_EQ(Changes(), GetParam().changes);
    EXPECT_EQ(Rows(), GetParam().files);
}

INSTANTIATE_TEST_SUITE_P(
    LocalChange, RecordedEdits,
    ::testing::Values(
        RecordedEdit{"AddFile", {}, {}, {{'w', L"new.txt"}}, {{L"new.txt", 1, 0}, {L"new.txt", 3, 0}}, {}},
        RecordedEdit{"ModifyFile",
                     {FileRow(7, L"a.txt")},
                     {{'w', L"a.txt"}},
                     {{'w', L"a.txt", L"changed"}},
                     {{L"a.txt", 3, 7}},
                     {{L"a.txt", 7, 2}}},
        RecordedEdit{"DeleteFile",
                     {FileRow(7, L"a.txt")},
                     {{'w', L"a.txt"}},
                     {{'x', L"a.txt"}},
                     {{L"a.txt", 2, 7}},
                     {{L"a.txt", 7, 1}}},
        RecordedEdit{"RenameFile",
                     {FileRow(7, L"a.txt")},
                     {{'w', L"a.txt"}},
                     {{'r', L"a.txt", L"b.txt"}},
                     {{L"b.txt", 4, 7, L"a.txt"}},
                     {{L"b.txt", 7, 2}}},
        RecordedEdit{"AddFolderWithFile",
                     {},
                     {},
                     {{'d', L"New"}, {'w', L"New\\in.txt"}},
                     {{L"New", 1, 0}, {L"New\\in.txt", 1, 0}, {L"New\\in.txt", 3, 0}},
                     {}},
        RecordedEdit{"RenameFolder",
                     {FolderRow(5, L"Docs"), FileRow(6, L"Docs\\in.txt")},
                     {{'d', L"Docs"}, {'w', L"Docs\\in.txt"}},
                     {{'r', L"Docs", L"Papers"}},
                     {{L"Papers", 4, 5, L"Docs"}},
                     {{L"Papers", 5, 2}, {L"Papers\\in.txt", 6, 1}}},
        RecordedEdit{"DeleteFolder",
                     {FolderRow(5, L"Old")},
                     {{'d', L"Old"}},
                     {{'x', L"Old"}},
                     {{L"Old", 2, 5}},
                     {{L"Old", 5, 1}}},
        RecordedEdit{"SaveByRename",
                     {FileRow(7, L"A.txt")},
                     {{'w', L"A.txt"}},
                     {{'w', L"A.tmp"}, {'r', L"A.txt", L"A.bak"}, {'r', L"A.tmp", L"A.txt"}, {'x', L"A.bak"}},
                     {{L"A.tmp", 1, 0}, {L"A.tmp", 3, 0}, {L"A.bak", 4, 7, L"A.txt"}, {L"A.txt", 4, 0, L"A.tmp"},
                      {L"A.bak", 2, 7}},
                     {{L"A.bak", 7, 2}}},
        RecordedEdit{"RotatingRename",
                     {FileRow(1, L"1.log"), FileRow(2, L"2.log"), FileRow(3, L"3.log")},
                     {{'w', L"1.log"}, {'w', L"2.log"}, {'w', L"3.log"}},
                     {{'x', L"3.log"}, {'r', L"2.log", L"3.log"}, {'r', L"1.log", L"2.log"}, {'w', L"1.log"}},
                     {{L"3.log", 2, 3}, {L"3.log", 4, 2, L"2.log"}, {L"2.log", 4, 1, L"1.log"}, {L"1.log", 1, 0},
                      {L"1.log", 3, 0}},
                     {{L"2.log", 1, 2}, {L"3.log", 2, 2}}},
        RecordedEdit{"ReplacingMove",
                     {FileRow(7, L"a.txt"), FileRow(8, L"b.txt")},
                     {{'w', L"a.txt"}, {'w', L"b.txt"}},
                     {{'r', L"a.txt", L"b.txt"}},
                     {{L"b.txt", 2, 8}, {L"b.txt", 4, 7, L"a.txt"}},
                     {{L"b.txt", 7, 2}}}),
    [](const ::testing::TestParamInfo<RecordedEdit>& info) { return info.param.title; });

TEST_F(StorageUpdateTest, ThreadsStoppedAndStartedAgainKeepRecording) {
    StartThreads();
    Write(L"first.txt");
    StopThreads();
    StartThreads();
    Write(L"second.txt");
    StopThreads();
    // The system may report one write as two modifications in two reads;
    // what counts here is that the second run records at all.
    std::vector<ChangeRow> changes = Changes();
    changes.erase(std::unique(changes.begin(), changes.end()), changes.end());
    EXPECT_EQ(changes, (std::vector<ChangeRow>{{L"first.txt", 1, 0}, {L"first.txt", 3, 0}, {L"second.txt", 1, 0},
                                               {L"second.txt", 3, 0}}));
    EXPECT_FALSE(FileExists(Local(kStopMarkerName)));
    EXPECT_TRUE(m_queue.IsEmpty());
}

}  // namespace
}  // namespace brelio::test
