#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include "BrelioSync/SyncItem.h"
#include "EngineTest.h"

using namespace brelio::test;

namespace {

class SelectedFolders : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        const Json::Value seeded = Seed({FolderItem("/docs"), FolderItem("/docs/inner"),
                                         FileWithContent("/docs/inner/a.txt", "a"), FolderItem("/other"),
                                         FileWithContent("/other/b.txt", "b")});
        m_docs = IdOf(seeded[0]);
        m_inner = IdOf(seeded[1]);
        m_other = IdOf(seeded[3]);
    }
    uint64_t m_docs = 0;
    uint64_t m_inner = 0;
    uint64_t m_other = 0;
};

TEST_F(SelectedFolders, OnlyTheSelectionIsWalked) {
    m_selection.Add(L"docs\\inner", m_inner);
    ASSERT_EQ(m_engine.FullSyncWalk(), S_OK);
    EXPECT_EQ(ReadFileBytes(Local(L"docs\\inner\\a.txt")), "a");
    EXPECT_EQ(Row(L"docs\\inner").file_id, m_inner) << "the selected folder gets its row";
    EXPECT_FALSE(::PathIsDirectoryW(Local(L"other").c_str()));
    EXPECT_FALSE(HasRow(L"other\\b.txt"));
}

TEST_F(SelectedFolders, RenamedRemotelyIsSkippedAndDeletedRemotelyIsDeleted) {
    m_selection.Add(L"docs", m_docs);
    ASSERT_EQ(m_engine.FullSyncWalk(), S_OK);
    Json::Value rename;
    rename["op"] = "rename";
    rename["path"] = "/docs";
    rename["newName"] = "papers";
    Remote(rename);
    EXPECT_EQ(m_engine.SyncSelectedFolder(L"docs", m_docs), S_FALSE);
    EXPECT_TRUE(FileExists(Local(L"docs\\inner\\a.txt")));

    Json::Value trash;
    trash["op"] = "trash";
    trash["path"] = "/papers";
    Remote(trash);
    EXPECT_EQ(m_engine.SyncSelectedFolder(L"docs", m_docs), S_FALSE);
    EXPECT_FALSE(::PathIsDirectoryW(Local(L"docs").c_str()));
    EXPECT_FALSE(HasRow(L"docs\\inner\\a.txt"));
}

TEST_F(SelectedFolders, DeletedRemotelyButChangedHereIsKept) {
    m_selection.Add(L"docs", m_docs);
    ASSERT_EQ(m_engine.FullSyncWalk(), S_OK);
    WriteLocal(L"docs\\inner\\new.txt", "made here since");
    Json::Value trash;
    trash["op"] = "trash";
    trash["path"] = "/docs";
    Remote(trash);
    EXPECT_EQ(m_engine.SyncSelectedFolder(L"docs", m_docs), S_FALSE);
    EXPECT_EQ(ReadFileBytes(Local(L"docs\\inner\\new.txt")), "made here since");
    EXPECT_TRUE(FileExists(Local(L"docs\\inner\\a.txt")));
}

TEST_F(SelectedFolders, UnusableSelectionPathsAndFailedLookups) {
    EXPECT_EQ(m_engine.SyncSelectedFolder(L"..\\docs", m_docs), S_FALSE);
    EXPECT_EQ(m_engine.SyncSelectedFolder(L"C:\\docs", m_docs), S_FALSE);
    EXPECT_FALSE(::PathIsDirectoryW((m_folder.Path() + L"\\docs").c_str()));

    // A selection whose first folder cannot be looked up syncs nothing.
    m_selection.Add(L"gone", 987654321);
    m_selection.Add(L"docs", m_docs);
    EXPECT_EQ(m_engine.FullSyncWalk(), E_FAIL);
    EXPECT_FALSE(::PathIsDirectoryW(Local(L"docs").c_str()));
    EXPECT_EQ(CountItems(Items(), SYNC_ITEM_FAILED, L"gone"), 1u);
}

TEST_F(SelectedFolders, EmptiedSelectedFolderTrashesNothing) {
    m_selection.Add(L"docs", m_docs);
    ASSERT_EQ(m_engine.FullSyncWalk(), S_OK);
    RemoveTree(Local(L"docs"));
    ClearLog();
    EXPECT_EQ(m_engine.FullSyncWalk(), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(CountRequests("POST", ""), 0u);
    EXPECT_FALSE(ItemAt("/docs/inner/a.txt")["trashed"].asBool());
}

}  // namespace
