#include "StorageTest.h"

namespace brelio::test {
namespace {

// The row operations on one open connection, outside the storage mutex.
class SQLiteRows : public StorageTest {
protected:
    template <typename Work>
    void WithDatabase(Work work) {
        try {
            CSQLiteConnection db;
            db.Open(m_database.c_str(), OpenMode::ReadWrite);
            work(db);
        } catch (int code) {
            FAIL() << "SQLite failure " << code;
        }
    }
    // The SQLite code thrown by the work, or 0.
    template <typename Work>
    int ThrownBy(Work work) {
        try {
            CSQLiteConnection db;
            db.Open(m_database.c_str(), OpenMode::ReadWrite);
            work(db);
        } catch (int code) {
            return code;
        }
        return 0;
    }
};

TEST_F(SQLiteRows, NameLookupsIgnoreAsciiCaseOnly) {
    SeedRows({FileRow(1, L"Docs\\Plan.txt"), FolderRow(2, L"Docs"), FileRow(3, L"\u00c4rger.txt")});
    struct Case {
        const wchar_t* name;
        uint64_t found;  // 0: no row
    } cases[] = {
        {L"Docs\\Plan.txt", 1}, {L"docs\\PLAN.TXT", 1}, {L"Docs\\Plan.txt\\", 1}, {L"DOCS\\\\", 2},
        {L"\u00c4rger.txt", 3}, {L"\u00e4rger.txt", 0},  {L"Docs\\Plan", 0},      {L"", 0},
    };
    WithDatabase([&](CSQLiteConnection& db) {
        for (const Case& c : cases) {
            FileRecord row;
            row.file_id = 99;
            EXPECT_EQ(db.GetFile(c.name, row), c.found != 0) << c.name;
            EXPECT_EQ(row.file_id, c.found != 0 ? c.found : 99) << c.name;  // untouched when not found
            EXPECT_EQ(db.FileExists(c.name), c.found != 0) << c.name;
            EXPECT_EQ(db.GetFileStatus(c.name), c.found != 0 ? FILE_STATUS_SYNCED : FILE_STATUS_NONE) << c.name;
        }
    });
}

TEST_F(SQLiteRows, NamesThatDifferOnlyInAsciiCaseCollide) {
    SeedRows({FileRow(1, L"Docs\\a.txt")});
    EXPECT_EQ(ThrownBy([](CSQLiteConnection& db) { db.InsertFile(FileRow(2, L"DOCS\\A.TXT")); }), 19);
    EXPECT_EQ(ThrownBy([](CSQLiteConnection& db) { db.InsertFile(FileRow(3, L"Docs\\\u00e4.txt")); }), 0);
    EXPECT_EQ(ThrownBy([](CSQLiteConnection& db) { db.InsertFile(FileRow(4, L"Docs\\\u00c4.txt")); }), 0);
}

TEST_F(SQLiteRows, NullColumnsReadAsZeroAndEmpty) {
    Sql("INSERT INTO file(file_id, name, is_folder, last_write_time, revision, status) VALUES(5, 'n', 0, 1, 2, 1)");
    WithDatabase([](CSQLiteConnection& db) {
        FileRecord row;
        ASSERT_TRUE(db.GetFile(5, row));
        EXPECT_EQ(row.size, 0u);
        EXPECT_EQ(row.hash, "");
        EXPECT_EQ(row.version, 0);
        EXPECT_EQ(row.revision, 2u);
    });
}

TEST_F(SQLiteRows, ExecResultRefusesWhatIsNotANumber) {
    struct Case {
        const wchar_t* statement;
        int thrown;
        int value;
    } cases[] = {
        {L"SELECT 7", 0, 7},
        {L"SELECT NULL", 20, -1},
        {L"SELECT 'abc'", 20, -1},
        {L"SELECT 1 WHERE 0", 0, -1},  // no row leaves the value
    };
    for (const Case& c : cases) {
        int value = -1;
        EXPECT_EQ(ThrownBy([&](CSQLiteConnection& db) { db.Exec(c.statement, &value); }), c.thrown) << c.statement;
        EXPECT_EQ(value, c.value) << c.statement;
    }
}

TEST_F(SQLiteRows, RenameFileRowMovesTheFolderAndOnlyItsChildren) {
    struct Case {
        bool isFolder;
        std::vector<std::wstring> names;
    } cases[] = {
        {true, {L"Docs2\\a.txt", L"Papers", L"Papers\\a.txt", L"Papers\\sub\\b.txt"}},
        {false, {L"Docs2\\a.txt", L"Docs\\a.txt", L"Docs\\sub\\b.txt", L"Papers"}},
    };
    for (const Case& c : cases) {
        ResetDatabase();
        SeedRows({FolderRow(1, L"Docs"), FileRow(2, L"Docs\\a.txt", FILE_STATUS_LOCAL_FAILED), FileRow(3, L"Docs\\sub\\b.txt"),
              FileRow(4, L"Docs2\\a.txt")});
        WithDatabase([&](CSQLiteConnection& db) { db.RenameFileRow(L"Docs", L"Papers", c.isFolder); });
        auto expected = c.names;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Names(), expected);
        EXPECT_EQ(Row(1).status, FILE_STATUS_CHANGED);
        EXPECT_EQ(Row(2).status, FILE_STATUS_LOCAL_FAILED);
    }
}

TEST_F(SQLiteRows, AddChangeTakesTheRowsIdAndFolderFlag) {
    SeedRows({FolderRow(7, L"Docs")});
    WithDatabase([](CSQLiteConnection& db) {
        db.AddChange(L"Docs", L"", false, CHANGE_ACTION_MODIFIED);
        db.AddChange(L"New", L"", true, CHANGE_ACTION_ADDED);
        db.AddChange(L"Docs\\b.txt", L"Docs\\a.txt", false, CHANGE_ACTION_RENAMED);
        EXPECT_TRUE(db.ChangeExists(L"Docs\\a.txt", CHANGE_ACTION_RENAMED));
        EXPECT_FALSE(db.ChangeExists(L"docs\\A.txt", CHANGE_ACTION_RENAMED));  // old names compare exactly
        EXPECT_FALSE(db.ChangeExists(L"Docs\\a.txt", CHANGE_ACTION_ADDED));

        ChangeRecordList changes;
        db.ReadChanges(changes);
        ASSERT_EQ(changes.size(), 3u);
        EXPECT_EQ(changes[0].file_id, 7u);
        EXPECT_TRUE(changes[0].is_folder);
        EXPECT_EQ(changes[1].file_id, 0u);
        EXPECT_TRUE(changes[1].is_folder);
        EXPECT_EQ(changes[2].old_name, L"Docs\\a.txt");
        EXPECT_EQ(changes[2].action, CHANGE_ACTION_RENAMED);
    });
    // Without an old name the column holds an empty text, not NULL.
    Sql("CREATE TABLE probe AS SELECT count(*) AS n FROM change WHERE old_name IS NULL");
    WithDatabase([](CSQLiteConnection& db) {
        int nulls = -1;
        db.Exec(L"SELECT n FROM probe", &nulls);
        EXPECT_EQ(nulls, 0);
    });
}

TEST_F(SQLiteRows, ChangesOfOneSecondKeepTheirRecordedOrder) {
    // Same creation time for all but the last, which was recorded earlier.
    Sql("INSERT INTO change(name, old_name, is_folder, action, file_id, creation_time) VALUES"
        "('c', '', 0, 1, 0, '2024-03-02 09:05:03'), ('a', '', 0, 1, 0, '2024-03-02 09:05:03'),"
        "('b', '', 0, 1, 0, '2024-03-02 09:05:03'), ('first', '', 0, 1, 0, '2024-03-02 09:05:02');"
        // SQLite gives ties in whatever order its plan yields: with this
        // index an order by time alone would give them sorted by name.
        "CREATE INDEX by_time ON change(creation_time, name)");
    WithDatabase([](CSQLiteConnection& db) {
        ChangeRecordList changes;
        db.ReadChanges(changes);
        db.ReadChanges(changes);  // a second read appends again
        std::vector<std::wstring> names;
        for (const ChangeRecord& change : changes) names.push_back(change.name);
        EXPECT_EQ(names, (std::vector<std::wstring>{L"first", L"c", L"a", L"b", L"first", L"c", L"a", L"b"}));
    });
}

}  // namespace
}  // namespace brelio::test
