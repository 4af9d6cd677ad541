#include "LocalDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/SQLiteConnection.h"
#include "TempFolder.h"

namespace brelio::test {

void PrintTo(const RowSummary& row, std::ostream* out) {
    *out << "{\"" << WideToUtf8(row.name) << "\", id " << row.fileId << ", status " << row.status << "}";
}

void LocalDatabaseFixture::SetUpDatabase(const std::wstring& folder, const wchar_t* mutexName) {
    m_database = folder + L"\\storage.db";
    m_log = folder + L"\\BrelioDrive.log";
    ASSERT_EQ(m_mutex.Create(mutexName), S_OK);
    ASSERT_NO_FATAL_FAILURE(ResetDatabase());
    SetLogPath(m_log.c_str());
    SetLogEnabled(true);
}

void LocalDatabaseFixture::TearDownDatabase() { SetLogEnabled(false); }

void LocalDatabaseFixture::ResetDatabase() {
    ::DeleteFileW(m_database.c_str());
    ASSERT_EQ(CSQLiteConnection::CreateDatabase(m_database.c_str()), 0);
}

void LocalDatabaseFixture::SeedRows(std::initializer_list<FileRecord> rows) {
    SeedRows(std::vector<FileRecord>(rows));
}

void LocalDatabaseFixture::SeedRows(const std::vector<FileRecord>& rows) {
    try {
        CSQLiteConnection db;
        db.Open(m_database.c_str(), OpenMode::ReadWrite);
        for (const FileRecord& row : rows) db.InsertFile(row);
    } catch (int code) {
        FAIL() << "seeding rows failed with " << code;
    }
}

void LocalDatabaseFixture::AddChangeRow(const ChangeRecord& change) {
    try {
        CSQLiteConnection db;
        db.Open(m_database.c_str(), OpenMode::ReadWrite);
        db.InsertChange(change.name, change.old_name, change.is_folder, change.action, change.file_id);
    } catch (int code) {
        FAIL() << "adding a change row failed with " << code;
    }
}

void LocalDatabaseFixture::Sql(const char* statement) {
    UniqueSqliteDatabase db;
    ASSERT_EQ(sqlite3_open(WideToUtf8(m_database).c_str(), db.Put()), SQLITE_OK);
    char* message = nullptr;
    const int result = sqlite3_exec(db.Get(), statement, nullptr, nullptr, &message);
    EXPECT_EQ(result, SQLITE_OK) << (message ? message : "") << " in " << statement;
    sqlite3_free(message);
}

bool LocalDatabaseFixture::HasRow(const std::wstring& name) {
    try {
        CSQLiteConnection db;
        db.Open(m_database.c_str(), OpenMode::ReadOnly);
        return db.FileExists(name);
    } catch (int code) {
        ADD_FAILURE() << "reading a row failed with " << code;
        return false;
    }
}

FileRecord LocalDatabaseFixture::Row(const std::wstring& name) {
    FileRecord row;
    try {
        CSQLiteConnection db;
        db.Open(m_database.c_str(), OpenMode::ReadOnly);
        db.GetFile(name, row);
    } catch (int code) {
        ADD_FAILURE() << "reading a row failed with " << code;
    }
    return row;
}

FileRecord LocalDatabaseFixture::Row(uint64_t fileId) {
    FileRecord row;
    try {
        CSQLiteConnection db;
        db.Open(m_database.c_str(), OpenMode::ReadOnly);
        db.GetFile(fileId, row);
    } catch (int code) {
        ADD_FAILURE() << "reading a row failed with " << code;
    }
    return row;
}

size_t LocalDatabaseFixture::RowCount() { return CountRowsOf(L"file"); }

size_t LocalDatabaseFixture::ChangeCount() { return CountRowsOf(L"change"); }

size_t LocalDatabaseFixture::CountRowsOf(const wchar_t* table) {
    int count = 0;
    try {
        CSQLiteConnection db;
        db.Open(m_database.c_str(), OpenMode::ReadOnly);
        db.Exec((std::wstring(L"SELECT COUNT(*) FROM ") + table).c_str(), &count);
    } catch (int code) {
        ADD_FAILURE() << "counting the rows of a table failed with " << code;
    }
    return static_cast<size_t>(count);
}

std::vector<std::wstring> LocalDatabaseFixture::Names() {
    std::vector<std::wstring> names;
    for (const RowSummary& row : Rows()) names.push_back(row.name);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<RowSummary> LocalDatabaseFixture::Rows() {
    std::vector<RowSummary> rows;
    try {
        CSQLiteConnection db;
        db.Open(m_database.c_str(), OpenMode::ReadOnly);
        CSQLiteStatement statement;
        db.Prepare(L"SELECT name, file_id, status FROM file ORDER BY name", statement);
        while (statement.Step()) {
            RowSummary row;
            statement.ColumnText(0, row.name, 1000);
            row.fileId = static_cast<uint64_t>(statement.ColumnInt64(1));
            row.status = statement.ColumnInt(2);
            rows.push_back(row);
        }
    } catch (int code) {
        ADD_FAILURE() << "reading rows failed with " << code;
    }
    return rows;
}

std::string LocalDatabaseFixture::LogText() const { return ReadFileBytes(m_log); }

FileRecord FolderRow(uint64_t id, const wchar_t* name, int status) {
    FileRecord row;
    row.file_id = id;
    row.name = name;
    row.is_folder = true;
    row.last_write_time = 1;
    row.revision = 1;
    row.status = status;
    return row;
}

FileRecord FileRow(uint64_t id, const wchar_t* name, int status, uint64_t revision) {
    return FileRow(id, name, status, revision, "hash" + std::to_string(id));
}

FileRecord FileRow(uint64_t id, const wchar_t* name, int status, uint64_t revision, const std::string& hash) {
    FileRecord row = FolderRow(id, name, status);
    row.is_folder = false;
    row.revision = revision;
    row.hash = hash;
    return row;
}

}  // namespace brelio::test
