#include <sqlite3.h>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "StorageTest.h"

namespace brelio::test {
namespace {

struct MasterRow {
    std::string type, name, table, sql;
    bool operator==(const MasterRow&) const = default;
};

std::ostream& operator<<(std::ostream& out, const MasterRow& row) {
    return out << row.type << "|" << row.name << "|" << row.table << "|" << row.sql;
}

std::string Text(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? text : "<NULL>";
}

// Reads the file with SQLite alone, as the overlay library would.
class SQLiteSchema : public StorageTest {
protected:
    std::vector<MasterRow> Master() {
        std::vector<MasterRow> rows;
        Query("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY rowid", [&](sqlite3_stmt* s) {
            rows.push_back({Text(s, 0), Text(s, 1), Text(s, 2), Text(s, 3)});
        });
        return rows;
    }
    std::vector<std::string> ConfigRows() {
        std::vector<std::string> rows;
        Query("SELECT version, latest_revision FROM config",
              [&](sqlite3_stmt* s) { rows.push_back(Text(s, 0) + "," + Text(s, 1)); });
        return rows;
    }
    template <typename OnRow>
    void Query(const char* sql, OnRow onRow) {
        UniqueSqliteDatabase db;
        ASSERT_EQ(sqlite3_open_v2(WideToUtf8(m_database).c_str(), db.Put(), SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        UniqueSqliteStatement statement;
        ASSERT_EQ(sqlite3_prepare_v2(db.Get(), sql, -1, statement.Put(), nullptr), SQLITE_OK) << sqlite3_errmsg(db.Get());
        while (sqlite3_step(statement.Get()) == SQLITE_ROW) onRow(statement.Get());
    }
};

const std::vector<MasterRow> kSchema = {
    {"table", "config", "config", "CREATE TABLE config(version INTEGER NOT NULL, latest_revision INTEGER)"},
    {"table", "file", "file",
     "CREATE TABLE file(file_id INTEGER NOT NULL, name TEXT NOT NULL UNIQUE COLLATE NOCASE, is_folder INTEGER NOT "
     "NULL, size INTEGER, last_write_time INTEGER NOT NULL, hash TEXT, revision INTEGER NOT NULL, version INTEGER, "
     "status INTEGER NOT NULL, PRIMARY KEY(file_id))"},
    {"index", "sqlite_autoindex_file_1", "file", "<NULL>"},
    {"table", "change", "change",
     "CREATE TABLE change(name TEXT NOT NULL, old_name TEXT, is_folder INTEGER NOT NULL, action INTEGER NOT NULL, "
     "file_id INTEGER, creation_time DATETIME DEFAULT CURRENT_TIMESTAMP)"},
};

TEST_F(SQLiteSchema, NewFileHoldsExactlyTheThreeTablesAndOneVersionRow) {
    EXPECT_EQ(Master(), kSchema);
    EXPECT_EQ(ConfigRows(), std::vector<std::string>{"65539,<NULL>"});
    EXPECT_EQ(CSQLiteConnection::GetDatabaseVersion(m_database.c_str()), 65539);
}

TEST_F(SQLiteSchema, CreateOnACurrentFileChangesNothing) {
    ASSERT_EQ(CSQLiteConnection::CreateDatabase(m_database.c_str()), 0);
    EXPECT_EQ(Master(), kSchema);
    EXPECT_EQ(ConfigRows(), std::vector<std::string>{"65539,<NULL>"});
}

TEST_F(SQLiteSchema, CreateCompletesAFileThatAnEarlierCreateLeftHalfMade) {
    Sql("DROP TABLE change; DROP TABLE file;");
    ASSERT_EQ(CSQLiteConnection::CreateDatabase(m_database.c_str()), 0);
    EXPECT_EQ(Master(), kSchema);
    EXPECT_EQ(ConfigRows(), std::vector<std::string>{"65539,<NULL>"});
}

TEST_F(SQLiteSchema, OnlyTheListedTableNamesAreCreated) {
    ::DeleteFileW(m_database.c_str());
    try {
        CSQLiteConnection db;
        db.Open(m_database.c_str(), OpenMode::ReadWrite);
        for (const wchar_t* name : {L"other", L"File", L"CONFIG", L""}) {
            db.CreateTable(name);
            EXPECT_FALSE(db.TableExists(name)) << name;
        }
        db.CreateTable(L"change");
        EXPECT_TRUE(db.TableExists(L"change"));
    } catch (int code) {
        FAIL() << code;
    }
    EXPECT_EQ(Master().size(), 1u);
}

TEST_F(SQLiteSchema, VersionOfAMissingFileIsMinusOne) {
    EXPECT_EQ(CSQLiteConnection::GetDatabaseVersion((m_folder / L"none.db").c_str()), -1);
}

}  // namespace
}  // namespace brelio::test
