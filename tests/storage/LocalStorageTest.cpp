#include "BrelioCore/TextConvert.h"
#include "StorageTest.h"

namespace brelio::test {
namespace {

using LocalStorage = StorageTest;

FileInfo Info(uint64_t id, const char* type, uint64_t revision, int version = 5, const char* hash = "h") {
    FileInfo info;
    info.id = id;
    info.type = type;
    info.revision = revision;
    info.version = version;
    info.hash = hash;
    return info;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(LocalStorage, InsertFileUpdatesBySameIdElseBySameNameElseAddsARow) {
    struct Case {
        const char* branch;
        uint64_t id;
        const wchar_t* name;
        std::vector<std::wstring> names;
        uint64_t idOfOldRow;  // the id that the row Docs\a.txt ends with, 0 when gone
    } cases[] = {
        {"same id", 1, L"Docs\\b.txt", {L"Docs\\b.txt"}, 0},
        {"same name", 2, L"DOCS\\A.TXT", {L"Docs\\a.txt"}, 2},
        {"new", 3, L"New.txt", {L"Docs\\a.txt", L"New.txt"}, 1},
    };
    for (const Case& c : cases) {
        ResetDatabase();
        SeedRows({FileRow(1, L"Docs\\a.txt", FILE_STATUS_CHANGED)});
        const std::wstring path = Path(c.name);
        EXPECT_EQ(Storage().InsertFile(Info(c.id, "file", 9), path.c_str(), 100, 200, FILE_STATUS_SYNCED), S_OK);
        EXPECT_EQ(Names(), Sorted(c.names)) << c.branch;
        const FileRecord row = Row(c.id);
        EXPECT_EQ(row.revision, 9u) << c.branch;
        EXPECT_EQ(row.size, 100u) << c.branch;
        EXPECT_EQ(row.status, FILE_STATUS_SYNCED) << c.branch;
        if (c.idOfOldRow != 0) {
            FileRecord old;
            ASSERT_EQ(Storage().GetFile(Path(L"Docs\\a.txt").c_str(), old), S_OK) << c.branch;
            EXPECT_EQ(old.file_id, c.idOfOldRow) << c.branch;
        }
        EXPECT_NE(LogText().find(WideToUtf8(path) + " - inserted(9, 5).\r\n"), std::string::npos) << c.branch;
    }
}

// Asked for many ids at once (more than one statement takes), it answers
// for exactly the rows it has.
TEST_F(LocalStorage, RevisionsOfManyIdsComeFromTheirRows) {
    std::vector<FileRecord> rows;
    for (uint64_t id = 2; id <= 1200; id += 2) rows.push_back(FileRow(id, (L"f" + std::to_wstring(id)).c_str(), FILE_STATUS_SYNCED, id * 10));
    SeedRows(rows);
    std::vector<uint64_t> asked;
    for (uint64_t id = 1; id <= 1201; ++id) asked.push_back(id);
    std::unordered_map<uint64_t, uint64_t> revisions;
    ASSERT_EQ(Storage().GetRevisions(asked, revisions), S_OK);
    EXPECT_EQ(revisions.size(), rows.size());
    for (const FileRecord& row : rows) EXPECT_EQ(revisions[row.file_id], row.revision) << row.file_id;
    EXPECT_EQ(revisions.count(1201), 0u);
}

TEST_F(LocalStorage, InsertFromAChangeIsInSyncAndWrittenNow) {
    ChangeInfo change;
    change.file = Info(4, "folder", 3);
    FILETIME before = {};
    ::GetSystemTimeAsFileTime(&before);
    ASSERT_EQ(Storage().InsertFile(change, Path(L"Pics").c_str()), S_OK);
    const FileRecord row = Row(4);
    EXPECT_EQ(row.name, L"Pics");
    EXPECT_TRUE(row.is_folder);
    EXPECT_EQ(row.size, 0u);
    EXPECT_EQ(row.status, FILE_STATUS_SYNCED);
    EXPECT_GE(row.last_write_time, (uint64_t(before.dwHighDateTime) << 32) | before.dwLowDateTime);
}

TEST_F(LocalStorage, ParentIdTellsTheRootFromAnUnknownParent) {
    SeedRows({FolderRow(7, L"Docs"), FileRow(8, L"Docs\\a.txt", FILE_STATUS_SYNCED, 4), FileRow(9, L"Note.txt")});
    struct Case {
        uint64_t id;
        const wchar_t* name;
        HRESULT found;
        uint64_t parent;
        uint64_t revision;  // 77: untouched
    } cases[] = {
        {0, L"Docs\\a.txt", S_OK, 7, 4},
        {8, L"Docs\\renamed.txt", S_OK, 7, 4},  // found by id, parent from the name
        {0, L"Top.txt", S_FALSE, kRootFolderId, 77},
        {0, L"Docs\\new.txt", S_FALSE, 7, 77},
        {0, L"docs\\sub\\x.txt", S_FALSE, kUnknownParentId, 77},   // parent has no row
        {0, L"Note.txt\\x.txt", S_FALSE, kUnknownParentId, 77},    // parent row is a file
        {0, L"", S_FALSE, kUnknownParentId, 77},                   // the sync folder itself
    };
    for (const Case& c : cases) {
        const std::wstring path = Path(c.name);
        uint64_t parent = 55;
        uint64_t revision = 77;
        EXPECT_EQ(Storage().GetFile(c.id, path.c_str(), parent, revision), c.found) << c.name;
        EXPECT_EQ(parent, c.parent) << c.name;
        EXPECT_EQ(revision, c.revision) << c.name;

        uint64_t parentOnly = 55;
        EXPECT_EQ(Storage().GetParentFileId(path.c_str(), parentOnly), c.parent == kUnknownParentId ? S_FALSE : S_OK)
            << c.name;
        EXPECT_EQ(parentOnly, c.parent) << c.name;
    }
}

// Folder names with LIKE wildcards, the escape character and a common
// prefix: each operation on the folder touches exactly the rows beneath it.
TEST_F(LocalStorage, FolderOperationsTouchExactlyTheFolderSubtree) {
    struct Case {
        const wchar_t* folder;
        const wchar_t* sibling;
    } cases[] = {
        {L"A_B", L"AXB"}, {L"50%", L"50x"}, {L"50%", L"50%x"}, {L"Docs", L"Docs2"}, {L"a|b", L"a|xb"}, {L"a", L"ab"},
    };
    for (const Case& c : cases) {
        const std::wstring f = c.folder;
        const std::wstring s = c.sibling;
        auto seed = [&] {
            ResetDatabase();
            SeedRows({FolderRow(1, f.c_str()), FileRow(2, (f + L"\\x.txt").c_str(), FILE_STATUS_CHANGED),
                  FileRow(3, (f + L"\\sub\\y.txt").c_str()), FolderRow(4, s.c_str()),
                  FileRow(5, (s + L"\\x.txt").c_str(), FILE_STATUS_LOCAL_FAILED)});
        };
        const std::vector<std::wstring> siblingRows = {s, s + L"\\x.txt"};

        seed();
        try {
            CSQLiteConnection db;
            db.Open(m_database.c_str(), OpenMode::ReadOnly);
            EXPECT_EQ(db.GetFolderStatus(f), FILE_STATUS_CHANGED) << f;
            EXPECT_EQ(db.GetFolderStatus(f + L"\\"), FILE_STATUS_CHANGED) << f;
        } catch (int code) {
            ADD_FAILURE() << code;
        }

        EXPECT_EQ(Storage().SetFileStatus(Path(f).c_str(), true, FILE_STATUS_DELETE), S_OK);
        EXPECT_EQ(Names(), Sorted(siblingRows)) << f << " deleted by path";

        seed();
        EXPECT_EQ(Storage().SetFileStatus(1, true, FILE_STATUS_DELETE), S_OK);
        EXPECT_EQ(Names(), Sorted(siblingRows)) << f << " deleted by id";

        seed();
        EXPECT_EQ(Storage().SetFileName(1, Path(f).c_str(), Path(L"R").c_str(), "h2", 8), S_OK);
        std::vector<std::wstring> renamed = {L"R", L"R\\x.txt", L"R\\sub\\y.txt"};
        renamed.insert(renamed.end(), siblingRows.begin(), siblingRows.end());
        EXPECT_EQ(Names(), Sorted(renamed)) << f << " renamed";
    }
}

TEST_F(LocalStorage, RenamingAFolderRenamesItsChildren) {
    struct Case {
        const char* how;
        bool byId;
        int folderStatus;
    } cases[] = {{"by id", true, FILE_STATUS_SYNCED}, {"from a record", false, FILE_STATUS_CHANGED}};
    for (const Case& c : cases) {
        ResetDatabase();
        SeedRows({FolderRow(1, L"Docs", FILE_STATUS_CHANGED), FileRow(2, L"Docs\\a.txt", FILE_STATUS_LOCAL_FAILED),
              FileRow(3, L"Docs\\Sub\\b.txt")});
        const std::wstring from = Path(L"Docs");
        const std::wstring to = Path(L"Papers\\");  // a trailing backslash names the same folder
        const HRESULT result = c.byId ? Storage().SetFileName(1, from.c_str(), to.c_str(), "h'9", 9)
                                      : Storage().SetFileName(Row(1), from.c_str(), to.c_str(), "h'9", 9);
        ASSERT_EQ(result, S_OK) << c.how;
        EXPECT_EQ(Names(), (std::vector<std::wstring>{L"Papers", L"Papers\\Sub\\b.txt", L"Papers\\a.txt"})) << c.how;
        EXPECT_EQ(Row(1).status, c.folderStatus) << c.how;
        EXPECT_EQ(Row(1).hash, "h'9") << c.how;
        EXPECT_EQ(Row(1).revision, 9u) << c.how;
        EXPECT_EQ(Row(2).status, FILE_STATUS_LOCAL_FAILED) << c.how;
    }
}

TEST_F(LocalStorage, OperationsOnAMissingRowChangeNothing) {
    SeedRows({FolderRow(1, L"Docs"), FileRow(2, L"Docs\\a.txt")});
    CLocalStorage storage = Storage();
    EXPECT_EQ(storage.SetFileName(99, Path(L"X").c_str(), Path(L"Y").c_str(), "h", 2), S_OK);
    EXPECT_EQ(storage.SetFileStatus(99, true, FILE_STATUS_DELETE), S_OK);
    EXPECT_EQ(storage.SetFileStatus(Path(L"Nothing").c_str(), false, FILE_STATUS_CHANGED), S_OK);
    int status = 5;
    EXPECT_EQ(storage.GetFileStatus(Path(L"Nothing").c_str(), status), S_OK);
    EXPECT_EQ(status, FILE_STATUS_NONE);
    FileRecord record;
    record.file_id = 42;
    EXPECT_EQ(storage.GetFile(Path(L"Nothing").c_str(), record), S_FALSE);
    EXPECT_EQ(storage.GetFile(99, record), S_FALSE);
    EXPECT_EQ(record.file_id, 42u);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"Docs", L"Docs\\a.txt"}));
}

TEST_F(LocalStorage, StatusRevisionAndUpdatesReachTheirRow) {
    SeedRows({FileRow(1, L"a.txt"), FileRow(2, L"b.txt")});
    CLocalStorage storage = Storage();
    int status = 0;
    ASSERT_EQ(storage.SetFileStatus(Path(L"A.TXT").c_str(), false, FILE_STATUS_CHANGED), S_OK);
    ASSERT_EQ(storage.GetFileStatus(1, status), S_OK);
    EXPECT_EQ(status, FILE_STATUS_CHANGED);
    ASSERT_EQ(storage.SetFileStatus(2, false, FILE_STATUS_LOCAL_FAILED), S_OK);
    ASSERT_EQ(storage.GetFileStatus(Path(L"b.txt").c_str(), status), S_OK);
    EXPECT_EQ(status, FILE_STATUS_LOCAL_FAILED);

    ASSERT_EQ(storage.SetFileRevision(1, 12, 3), S_OK);
    EXPECT_EQ(Row(1).revision, 12u);
    EXPECT_EQ(Row(1).version, 3);

    // By name the row takes the new id; by id it takes the new name.
    ASSERT_EQ(storage.UpdateFile(Info(5, "file", 20, 6, "q'q"), Path(L"a.txt").c_str(), 11, 22, true), S_OK);
    EXPECT_EQ(Row(1).file_id, 0u);
    EXPECT_EQ(Row(5).hash, "q'q");
    EXPECT_EQ(Row(5).status, FILE_STATUS_SYNCED);
    ASSERT_EQ(storage.UpdateFile(Info(2, "file", 21), Path(L"c.txt").c_str(), 1, 2, false), S_OK);
    EXPECT_EQ(Row(2).name, L"c.txt");
    EXPECT_EQ(Row(2).status, FILE_STATUS_SYNCED);

    // Metadata only: size, time and status stay.
    ASSERT_EQ(storage.SetFileStatus(2, false, FILE_STATUS_CHANGED), S_OK);
    ASSERT_EQ(storage.UpdateFile(Info(2, "file", 30, 7, "it's"), Path(L"d.txt").c_str()), S_OK);
    const FileRecord row = Row(2);
    EXPECT_EQ(row.name, L"d.txt");
    EXPECT_EQ(row.hash, "it's");
    EXPECT_EQ(row.revision, 30u);
    EXPECT_EQ(row.size, 1u);
    EXPECT_EQ(row.status, FILE_STATUS_CHANGED);
    EXPECT_NE(LogText().find(WideToUtf8(Path(L"d.txt")) + " - updated(30, 7)\r\n"), std::string::npos);
}

TEST_F(LocalStorage, LatestRevisionZeroRaisesOnlyALowerStoredValue) {
    struct Case {
        const char* stored;
        uint64_t asked;
        uint64_t read;
    } cases[] = {
        {"NULL", 0, 0}, {"3", 0, 5}, {"9", 0, 9}, {"9", 4, 4}, {"NULL", 6, 6},
    };
    for (const Case& c : cases) {
        ResetDatabase();
        SeedRows({FileRow(1, L"a", FILE_STATUS_SYNCED, 2), FileRow(2, L"b", FILE_STATUS_SYNCED, 5)});
        Sql((std::string("UPDATE config SET latest_revision=") + c.stored).c_str());
        ASSERT_EQ(Storage().SetLatestRevision(c.asked), S_OK);
        uint64_t revision = 99;
        ASSERT_EQ(Storage().GetLatestRevision(revision), S_OK);
        EXPECT_EQ(revision, c.read) << c.stored << " then " << c.asked;
    }
}

TEST_F(LocalStorage, ChangesAreReadThenClearedTogether) {
    ChangeRecord renamed;
    renamed.name = L"b.txt";
    renamed.old_name = L"a.txt";
    renamed.action = CHANGE_ACTION_RENAMED;
    renamed.file_id = 3;
    ChangeRecord added;
    added.name = L"Pics\\";
    added.is_folder = true;
    added.action = CHANGE_ACTION_ADDED;
    CLocalStorage storage = Storage();
    ASSERT_EQ(storage.InsertChanges({renamed, added}), S_OK);

    ChangeRecordList changes;
    ASSERT_EQ(storage.GetChanges(changes, false), S_OK);
    ASSERT_EQ(storage.GetChanges(changes, true), S_OK);
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_EQ(changes[2].name, L"b.txt");
    EXPECT_EQ(changes[2].old_name, L"a.txt");
    EXPECT_EQ(changes[2].file_id, 3u);
    EXPECT_EQ(changes[3].name, L"Pics");
    EXPECT_TRUE(changes[3].is_folder);

    ChangeRecordList after;
    ASSERT_EQ(storage.GetChanges(after, true), S_OK);
    EXPECT_TRUE(after.empty());
}

// An item's status comes with the recorded changes when its row is missing
// or not in sync, where a rename of it may be pending; a row in sync
// needs no such look.
TEST_F(LocalStorage, StatusOfARowNotInSyncComesWithTheRecordedChanges) {
    SeedRows({FileRow(1, L"a.txt", FILE_STATUS_SYNCED), FileRow(2, L"b.txt", FILE_STATUS_CHANGED)});
    ChangeRecord renamed;
    renamed.name = L"c.txt";
    renamed.old_name = L"b.txt";
    renamed.action = CHANGE_ACTION_RENAMED;
    renamed.file_id = 2;
    CLocalStorage storage = Storage();
    ASSERT_EQ(storage.InsertChanges({renamed}), S_OK);
    const struct {
        uint64_t id;
        int status;
        size_t changes;
    } cases[] = {{1, FILE_STATUS_SYNCED, 0}, {2, FILE_STATUS_CHANGED, 1}, {3, FILE_STATUS_NONE, 1}};
    for (const auto& c : cases) {
        int status = -1;
        ChangeRecordList changes;
        ASSERT_EQ(storage.GetFileStatus(c.id, status, changes), S_OK) << c.id;
        EXPECT_EQ(status, c.status) << c.id;
        ASSERT_EQ(changes.size(), c.changes) << c.id;
        if (c.changes != 0) EXPECT_EQ(changes[0].file_id, 2u) << c.id;
    }
}

TEST_F(LocalStorage, PathsOutsideTheRootKeepTheirFullText) {
    const std::wstring outside = m_folder / L"Elsewhere\\x.txt";
    ASSERT_EQ(Storage().InsertFile(Info(1, "file", 1), outside.c_str(), 0, 0, FILE_STATUS_SYNCED), S_OK);
    ASSERT_EQ(Storage().InsertFile(Info(2, "file", 1), (m_root + L"2\\y.txt").c_str(), 0, 0, FILE_STATUS_SYNCED),
              S_OK);
    EXPECT_EQ(Names(), Sorted({outside, m_root + L"2\\y.txt"}));
    uint64_t parent = 0;
    EXPECT_EQ(Storage().GetParentFileId(outside.c_str(), parent), S_FALSE);
    EXPECT_EQ(parent, kUnknownParentId);
}

}  // namespace
}  // namespace brelio::test
