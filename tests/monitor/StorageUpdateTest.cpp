#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "StorageFixture.h"

namespace brelio::test {
namespace {

struct QueuedChange {
    const wchar_t* name;
    int action;
    bool isFolder = false;
};

struct DrainCase {
    const char* title;
    std::vector<FileRecord> rows;
    std::vector<QueuedChange> queued;
    std::vector<ChangeRow> changes;
    std::vector<RowSummary> files;
};

void PrintTo(const DrainCase& drain, std::ostream* out) { *out << drain.title; }

class Drains : public StorageUpdateTest, public ::testing::WithParamInterface<DrainCase> {};

TEST_P(Drains, WriteTheRowsOfEachChange) {
    SeedRows(GetParam().rows);
    StartStorage();
    for (const QueuedChange& change : GetParam().queued) Queue(change.name, change.action, change.isFolder);
    m_queue.Signal();
    StopStorage();
    EXPECT_EQ(Changes(), GetParam().changes);
    EXPECT_EQ(Rows(), GetParam().files);
}

INSTANTIATE_TEST_SUITE_P(
    StorageUpdate, Drains,
    ::testing::Values(
        DrainCase{"Added", {}, {{L"a.txt", 1}}, {{L"a.txt", 1, 0}}, {}},
        DrainCase{"Removed", {FileRow(7, L"a.txt")}, {{L"a.txt", 2}}, {{L"a.txt", 2, 7}}, {{L"a.txt", 7, 1}}},
        DrainCase{"Modified", {FileRow(7, L"a.txt")}, {{L"a.txt", 3}}, {{L"a.txt", 3, 7}}, {{L"a.txt", 7, 2}}},
        DrainCase{"Renamed",
                  {FileRow(7, L"a.txt")},
                  {{L"a.txt", 4}, {L"b.txt", 5}},
                  {{L"b.txt", 4, 7, L"a.txt"}},
                  {{L"b.txt", 7, 2}}},
        DrainCase{"FolderRenamedWithTheRowsBeneath",
                  {FolderRow(5, L"Docs"), FileRow(6, L"Docs\\a.txt")},
                  {{L"Docs", 4}, {L"Papers", 5, true}},
                  {{L"Papers", 4, 5, L"Docs"}},
                  {{L"Papers", 5, 2}, {L"Papers\\a.txt", 6, 1}}},
        // The monitor read the new name after the folder had been renamed
        // again: by then it read as a file.
        DrainCase{"FolderRenamedAgainBeforeItsNewNameWasRead",
                  {FolderRow(5, L"Docs"), FileRow(6, L"Docs\\a.txt")},
                  {{L"Docs", 4}, {L"Papers", 5, false}},
                  {{L"Papers", 4, 5, L"Docs"}},
                  {{L"Papers", 5, 2}, {L"Papers\\a.txt", 6, 1}}},
        DrainCase{"RowsBeneathAFolderWithoutARowOfItsOwn",
                  {FileRow(6, L"Docs\\a.txt")},
                  {{L"Docs", 4}, {L"Papers", 5, false}},
                  {{L"Papers", 4, 0, L"Docs"}},
                  {{L"Papers\\a.txt", 6, 1}}},
        // The item looked gone before its rename was read.
        DrainCase{"RemovalBeforeTheRenameOfTheSameItem",
                  {FileRow(7, L"a.txt")},
                  {{L"a.txt", 2}, {L"a.txt", 4}, {L"b.txt", 5}},
                  {{L"b.txt", 4, 7, L"a.txt"}},
                  {{L"b.txt", 7, 2}}},
        DrainCase{"LetterCaseOnlyRename",
                  {FileRow(7, L"a.txt")},
                  {{L"a.txt", 4}, {L"A.txt", 5}},
                  {{L"A.txt", 4, 7, L"a.txt"}},
                  {{L"A.txt", 7, 2}}},
        DrainCase{"ReplacingMove",
                  {FileRow(7, L"a.txt"), FileRow(8, L"b.txt")},
                  {{L"a.txt", 4}, {L"b.txt", 5}},
                  {{L"b.txt", 2, 8}, {L"b.txt", 4, 7, L"a.txt"}},
                  {{L"b.txt", 7, 2}}},
        DrainCase{"NewFileMovedOverASyncedOne",
                  {FileRow(8, L"A.txt")},
                  {{L"A.tmp", 1}, {L"A.tmp", 3}, {L"A.tmp", 4}, {L"A.txt", 5}},
                  {{L"A.tmp", 1, 0}, {L"A.tmp", 3, 0}, {L"A.txt", 3, 8}},
                  {{L"A.txt", 8, 2}}},
        DrainCase{"SaveByRename",
                  {FileRow(7, L"A.txt")},
                  {{L"A.tmp", 1}, {L"A.tmp", 3}, {L"A.txt", 4}, {L"A.bak", 5}, {L"A.tmp", 4}, {L"A.txt", 5},
                   {L"A.bak", 2}},
                  {{L"A.tmp", 1, 0}, {L"A.tmp", 3, 0}, {L"A.bak", 4, 7, L"A.txt"}, {L"A.txt", 4, 0, L"A.tmp"},
                   {L"A.bak", 2, 7}},
                  {{L"A.bak", 7, 2}}},
        DrainCase{"RotatingRename",
                  {FileRow(1, L"1.log"), FileRow(2, L"2.log"), FileRow(3, L"3.log")},
                  {{L"3.log", 2}, {L"2.log", 4}, {L"3.log", 5}, {L"1.log", 4}, {L"2.log", 5}, {L"1.log", 1},
                   {L"1.log", 3}},
                  {{L"3.log", 2, 3}, {L"3.log", 4, 2, L"2.log"}, {L"2.log", 4, 1, L"1.log"}, {L"1.log", 1, 0},
                   {L"1.log", 3, 0}},
                  {{L"2.log", 1, 2}, {L"3.log", 2, 2}}},
        DrainCase{"OldNameWithoutNewNameKeepsTheNextChange",
                  {FileRow(7, L"a.txt")},
                  {{L"a.txt", 4}, {L"b.txt", 1}},
                  {{L"a.txt", 2, 7}, {L"b.txt", 1, 0}},
                  {{L"a.txt", 7, 1}}},
        DrainCase{"NewNameWithoutOldName", {}, {{L"b.txt", 5}}, {{L"b.txt", 1, 0}}, {}},
        DrainCase{"SyncFolderItselfAfterAnOverflow", {}, {{L"", 0}}, {}, {}}),
    [](const ::testing::TestParamInfo<DrainCase>& info) { return info.param.title; });

TEST_F(StorageUpdateTest, AStorageErrorSkipsOnlyItsChange) {
    StartStorage();
    const std::wstring tooLong(300, L'n');
    Queue(tooLong, 1);
    Queue(L"after.txt", 1);
    m_queue.Signal();
    ASSERT_TRUE(WaitFor([&] { return Changes().size() == 1; }));
    EXPECT_EQ(m_fullSync.Wait(0), 0u) << "the change that was not recorded is left to a full sync";
    EXPECT_NE(LogText().find("Update LocalStorage failed: 18\r\n"), std::string::npos) << "the code alone on its line";

    Queue(L"later.txt", 1);
    m_queue.Signal();
    StopStorage();
    EXPECT_EQ(Changes(), (std::vector<ChangeRow>{{L"after.txt", 1, 0}, {L"later.txt", 1, 0}}));
}

TEST_F(StorageUpdateTest, ADatabaseThatCannotBeOpenedLeavesTheChangesToAFullSync) {
    StorageUpdateSettings settings = Settings();
    settings.databasePath = m_folder / L"missing\\storage.db";
    ASSERT_EQ(m_storage.Start(&m_queue, &m_ignoreList, &m_partialSync, &m_fullSync, settings), S_OK);
    Queue(L"a.txt", 1);
    m_queue.Signal();
    StopStorage();
    EXPECT_EQ(m_fullSync.Wait(0), 0u);
    EXPECT_NE(LogText().find("Update LocalStorage failed"), std::string::npos);
}

TEST_F(StorageUpdateTest, TheStopRequestEndsTheThreadAfterEarlierChangesAndEmptiesTheQueue) {
    StartStorage();
    Queue(L"a.txt", 1);
    Queue(L"b.txt", 1);
    m_queue.Enqueue(L"", FILE_CHANGE_STOP, false);
    Queue(L"late.txt", 1);
    m_queue.Signal();
    EXPECT_EQ(m_storage.Close(4000), S_OK);
    EXPECT_EQ(Changes(), (std::vector<ChangeRow>{{L"a.txt", 1, 0}, {L"b.txt", 1, 0}}));
    EXPECT_TRUE(m_queue.IsEmpty());
}

TEST_F(StorageUpdateTest, EachRunKeepsToItsOwnSyncFolder) {
    StartStorage();
    CTempFolder next;
    ASSERT_TRUE(next.Create());
    StorageUpdateSettings moved = Settings();
    moved.syncRoot = next.Path();
    EXPECT_EQ(m_storage.Start(&m_queue, &m_ignoreList, &m_partialSync, &m_fullSync, moved),
              HRESULT_FROM_WIN32(ERROR_BUSY));
    Queue(L"first.txt", 1);
    m_queue.Signal();
    StopStorage();

    // A change of the old folder caught after the stop, then the restart
    // on the new folder.
    Queue(L"stale.txt", 1);
    ASSERT_EQ(m_storage.Start(&m_queue, &m_ignoreList, &m_partialSync, &m_fullSync, moved), S_OK);
    m_queue.Enqueue((next / L"second.txt").c_str(), 1, false);
    m_queue.Signal();
    StopStorage();
    EXPECT_EQ(Changes(), (std::vector<ChangeRow>{{L"first.txt", 1, 0}, {L"second.txt", 1, 0}}));
    EXPECT_NE(LogText().find("stale.txt - not in the sync folder"), std::string::npos);
}

TEST_F(StorageUpdateTest, ARenameSplitAcrossTwoDrainsIsOneRename) {
    SeedRows({FileRow(7, L"a.txt")});
    StartStorage();
    Queue(L"a.txt", 4);
    m_queue.Signal();
    ASSERT_TRUE(WaitFor([&] { return m_queue.IsEmpty(); }));
    Queue(L"b.txt", 5);
    m_queue.Signal();
    StopStorage();
    EXPECT_EQ(Changes(), (std::vector<ChangeRow>{{L"b.txt", 4, 7, L"a.txt"}}));
}

TEST_F(StorageUpdateTest, IgnoredChangesAreDropped) {
    StartStorage();
    m_ignoreList.Add(L"Docs\\Skip.txt");
    Queue(L"docs\\skip.txt", 1);
    Queue(L"Docs\\keep.txt", 1);
    m_queue.Signal();
    StopStorage();
    EXPECT_EQ(Changes(), (std::vector<ChangeRow>{{L"Docs\\keep.txt", 1, 0}}));
}

TEST_F(StorageUpdateTest, OnlyChangesInTheSelectedFoldersAreRecorded) {
    SeedRows({FileRow(9, L"Docs\\out.txt")});
    CSyncFolderList selection;
    selection.Add(L"Docs", 5);
    StartStorage(&selection);
    Queue(L"Docs\\a.txt", 1);
    Queue(L"Other\\b.txt", 1);
    Queue(L"Other\\in.txt", 4);
    Queue(L"Docs\\in.txt", 5);
    Queue(L"Docs\\out.txt", 4);
    Queue(L"Other\\out.txt", 5);
    m_queue.Signal();
    StopStorage();
    EXPECT_EQ(Changes(), (std::vector<ChangeRow>{{L"Docs\\a.txt", 1, 0}, {L"Docs\\in.txt", 1, 0},
                                                 {L"Docs\\out.txt", 2, 9}}));
}

TEST_F(StorageUpdateTest, AThreadObjectDeletedWhileRunningWritesWhatWasQueuedAndEnds) {
    auto storage = std::make_unique<CStorageUpdateThread>();
    ASSERT_EQ(storage->Start(&m_queue, &m_ignoreList, &m_partialSync, &m_fullSync, Settings()), S_OK);
    Queue(L"a.txt", 1);
    m_queue.Signal();
    storage.reset();
    EXPECT_EQ(Changes(), (std::vector<ChangeRow>{{L"a.txt", 1, 0}}));
}

TEST_F(StorageUpdateTest, QuietTimeSetsThePartialSyncEventEveryPeriod) {
    SetSyncIdleTime(200);
    StartStorage();
    EXPECT_EQ(m_partialSync.Wait(10000), 0u);
    EXPECT_EQ(m_partialSync.Wait(10000), 0u) << "set again after another quiet period";
    StopStorage();
}

}  // namespace
}  // namespace brelio::test
