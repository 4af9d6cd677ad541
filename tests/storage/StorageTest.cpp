#include "StorageTest.h"

#include <sqlite3.h>

#include <algorithm>

#include "BrelioCore/TextConvert.h"
#include "BrelioServices/Log.h"
#include "ChildProcess.h"

namespace brelio::test {

void StorageTest::SetUp() {
    ASSERT_TRUE(m_folder.Create());
    m_root = m_folder / L"Sync";
    ASSERT_TRUE(::CreateDirectoryW(m_root.c_str(), nullptr));
    m_database = m_folder / L"storage.db";
    m_log = m_folder / L"BrelioDrive.log";
    m_mutexName = UniqueName(L"BrelioStorageTestMutex");
    ASSERT_EQ(m_mutex.Create(m_mutexName.c_str()), S_OK);
    ResetDatabase();
    SetLogPath(m_log.c_str());
    SetLogEnabled(true);
}

void StorageTest::TearDown() { SetLogEnabled(false); }

void StorageTest::ResetDatabase() {
    ::DeleteFileW(m_database.c_str());
    ASSERT_EQ(CSQLiteConnection::CreateDatabase(m_database.c_str()), 0);
}

void StorageTest::Seed(std::initializer_list<FileRecord> rows) {
    try {
        CSQLiteConnection db;
        db.Open(m_database.c_str(), OpenMode::ReadWrite);
        for (const FileRecord& row : rows) db.InsertFile(row);
    } catch (int code) {
        FAIL() << "seeding failed with " << code;
    }
}

void StorageTest::Sql(const char* statement) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(WideToUtf8(m_database).c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    const int result = sqlite3_exec(db, statement, nullptr, nullptr, &message);
    EXPECT_EQ(result, SQLITE_OK) << (message ? message : "") << " in " << statement;
    sqlite3_free(message);
    sqlite3_close(db);
}

std::vector<std::wstring> StorageTest::Names() {
    std::vector<std::wstring> names;
    try {
        CSQLiteConnection db;
        db.Open(m_database.c_str(), OpenMode::ReadOnly);
        CSQLiteStatement statement;
        db.Prepare(L"SELECT name FROM file", statement);
        std::wstring name;
        while (statement.Step()) {
            statement.ColumnText(0, name, 1000);
            names.push_back(name);
        }
    } catch (int code) {
        ADD_FAILURE() << "reading names failed with " << code;
    }
    std::sort(names.begin(), names.end());
    return names;
}

FileRecord StorageTest::Row(uint64_t fileId) {
    FileRecord row;
    try {
        CSQLiteConnection db;
        db.Open(m_database.c_str(), OpenMode::ReadOnly);
        db.GetFile(fileId, row);
    } catch (int code) {
        ADD_FAILURE() << "reading row failed with " << code;
    }
    return row;
}

std::string StorageTest::LogText() const { return ReadFileBytes(m_log); }

FileRecord Folder(uint64_t id, const wchar_t* name, int status) {
    FileRecord row;
    row.file_id = id;
    row.name = name;
    row.is_folder = true;
    row.last_write_time = 1;
    row.revision = 1;
    row.status = status;
    return row;
}

FileRecord File(uint64_t id, const wchar_t* name, int status, uint64_t revision) {
    FileRecord row = Folder(id, name, status);
    row.is_folder = false;
    row.revision = revision;
    row.hash = "hash" + std::to_string(id);
    return row;
}

}  // namespace brelio::test
