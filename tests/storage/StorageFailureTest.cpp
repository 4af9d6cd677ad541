#include <sqlite3.h>

#include <functional>
#include <thread>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "ChildProcess.h"
#include "StorageTest.h"

namespace brelio::test {
namespace {

using LocalStorageFailure = StorageTest;

FileInfo AnyFile(uint64_t id) {
    FileInfo info;
    info.id = id;
    info.type = "file";
    info.revision = 1;
    return info;
}

bool MutexIsFree(CNamedMutex& mutex) {
    DWORD result = WAIT_FAILED;
    std::thread([&] {
        result = mutex.Lock(0);
        if (result == WAIT_OBJECT_0) mutex.Unlock();
    }).join();
    return result == WAIT_OBJECT_0;
}

// No handle of SQLite's is left on the file: it can be renamed.
bool DatabaseIsClosed(const std::wstring& path) {
    const std::wstring moved = path + L".moved";
    if (!::MoveFileW(path.c_str(), moved.c_str())) return false;
    return ::MoveFileW(moved.c_str(), path.c_str()) != FALSE;
}

std::string ExceptionLine(const char* operation, int code) {
    return std::string(operation) + " Exception: " + std::to_string(code) + "\r\n";
}

// Files that are not a database of ours: every operation refuses them with
// a clear code, and nothing writes to them.
TEST_F(LocalStorageFailure, FilesThatAreNotOurDatabaseAreRefusedAndLeftUntouched) {
    struct Case {
        const char* kind;
        const char* sql;    // run on a new empty database; nullptr: garbage bytes
        int code;           // logged by the operations
        int version;        // GetDatabaseVersion
    } cases[] = {
        {"newer version", "UPDATE config SET version=65540", 24, 65540},
        {"other program's", "DROP TABLE config; DROP TABLE change; DROP TABLE file; CREATE TABLE t(a)", 24, -1},
        {"no version number", "DROP TABLE config; CREATE TABLE config(version, latest_revision); "
                              "INSERT INTO config VALUES(NULL, NULL)", 24, -1},
        {"damaged", nullptr, 26, -1},
    };
    for (const Case& c : cases) {
        ResetDatabase();
        if (c.sql)
            Sql(c.sql);
        else
            ASSERT_TRUE(WriteFileBytes(m_database, std::string(8192, '\x5a')));
        const std::string before = ReadFileBytes(m_database);
        ::DeleteFileW(m_log.c_str());

        CLocalStorage storage = Storage();
        FileRecord record;
        EXPECT_EQ(storage.GetFile(Path(L"a.txt").c_str(), record), E_FAIL) << c.kind;
        EXPECT_EQ(storage.InsertFile(AnyFile(1), Path(L"a.txt").c_str(), 0, 0, FILE_STATUS_SYNCED), E_FAIL) << c.kind;
        EXPECT_EQ(storage.SetLatestRevision(0), E_FAIL) << c.kind;
        EXPECT_EQ(CSQLiteConnection::GetDatabaseVersion(m_database.c_str()), c.version) << c.kind;
        EXPECT_EQ(CSQLiteConnection::CreateDatabase(m_database.c_str()), -1) << c.kind;

        EXPECT_EQ(ReadFileBytes(m_database), before) << c.kind;
        const std::string log = LogText();
        EXPECT_NE(log.find(ExceptionLine("GetFile", c.code)), std::string::npos) << c.kind << log;
        EXPECT_NE(log.find(ExceptionLine("InsertFile", c.code)), std::string::npos) << c.kind << log;
        EXPECT_EQ(log.find("inserted"), std::string::npos) << c.kind;
        EXPECT_TRUE(MutexIsFree(m_mutex)) << c.kind;
        EXPECT_TRUE(DatabaseIsClosed(m_database)) << c.kind;
    }
}

// A file is checked once while it stays as it was; one replaced by another
// file, or written by anyone else since, is looked at again.
TEST_F(LocalStorageFailure, ADatabaseReplacedOrWrittenSinceItsLastCheckIsCheckedAgain) {
    const std::wstring other = m_database + L".other";
    const struct Case {
        const char* kind;
        std::function<void()> change;
    } cases[] = {
        {"its version rewritten in place", [&] { Sql("UPDATE config SET version=65540"); }},
        {"replaced by another program's file",
         [&] {
             ASSERT_EQ(CSQLiteConnection::CreateDatabase(other.c_str()), 0);
             CSQLiteConnection db;
             db.Open(other.c_str(), OpenMode::ReadWrite);
             db.Exec(L"DROP TABLE config");
             db.Close();
             ASSERT_TRUE(::MoveFileExW(other.c_str(), m_database.c_str(), MOVEFILE_REPLACE_EXISTING));
         }},
        {"deleted and made anew, of a newer version",
         [&] {
             ASSERT_TRUE(::DeleteFileW(m_database.c_str()));
             ASSERT_EQ(CSQLiteConnection::CreateDatabase(m_database.c_str()), 0);
             Sql("UPDATE config SET version=65540");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        ResetDatabase();
        CLocalStorage storage = Storage();
        FileRecord record;
        ASSERT_EQ(storage.InsertFile(AnyFile(1), Path(L"a.txt").c_str(), 0, 0, FILE_STATUS_SYNCED), S_OK);
        ASSERT_EQ(storage.GetFile(Path(L"a.txt").c_str(), record), S_OK);
        ASSERT_NO_FATAL_FAILURE(c.change());
        ::DeleteFileW(m_log.c_str());
        const std::string before = ReadFileBytes(m_database);

        EXPECT_EQ(storage.GetFile(Path(L"a.txt").c_str(), record), E_FAIL);
        EXPECT_EQ(storage.InsertFile(AnyFile(2), Path(L"b.txt").c_str(), 0, 0, FILE_STATUS_SYNCED), E_FAIL);
        EXPECT_EQ(ReadFileBytes(m_database), before);
        const std::string log = LogText();
        EXPECT_NE(log.find(ExceptionLine("GetFile", 24)), std::string::npos) << log;
        EXPECT_NE(log.find(ExceptionLine("InsertFile", 24)), std::string::npos) << log;
    }
}

TEST_F(LocalStorageFailure, ReadOnlyOpenOfAMissingFileFailsAndCreatesNothing) {
    ASSERT_TRUE(::DeleteFileW(m_database.c_str()));
    int status = 0;
    EXPECT_EQ(Storage().GetFileStatus(1, status), E_FAIL);
    EXPECT_NE(LogText().find(ExceptionLine("GetFileStatus", 14)), std::string::npos);
    EXPECT_FALSE(FileExists(m_database));
}

// Another program holds the write lock without taking our mutex: the
// write fails at once (no busy wait), and the next operation works.
TEST_F(LocalStorageFailure, FailedWriteReleasesEverythingAndTheNextOperationWorks) {
    SeedRows({FileRow(1, L"a.txt")});
    UniqueSqliteDatabase other;
    ASSERT_EQ(sqlite3_open(WideToUtf8(m_database).c_str(), other.Put()), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other.Get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_FALSE(DatabaseIsClosed(m_database));  // the probe sees an open file
    CLocalStorage storage = Storage();

    EXPECT_EQ(storage.InsertFile(AnyFile(2), Path(L"b.txt").c_str(), 0, 0, FILE_STATUS_SYNCED), E_FAIL);
    EXPECT_NE(LogText().find(ExceptionLine("InsertFile", 5)), std::string::npos) << LogText();
    EXPECT_TRUE(MutexIsFree(m_mutex));
    FileRecord row;
    EXPECT_EQ(storage.GetFile(Path(L"a.txt").c_str(), row), S_OK);

    sqlite3_exec(other.Get(), "COMMIT", nullptr, nullptr, nullptr);
    other.Reset();
    EXPECT_TRUE(DatabaseIsClosed(m_database));
    EXPECT_EQ(storage.InsertFile(AnyFile(2), Path(L"b.txt").c_str(), 0, 0, FILE_STATUS_SYNCED), S_OK);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
}

// Names longer than the system path limit are refused whole: nothing is
// cut, and nothing is half-written.
TEST_F(LocalStorageFailure, OverlongNamesAreRefusedAndNothingIsWritten) {
    SeedRows({FolderRow(1, L"Docs"), FileRow(2, L"Docs\\a.txt")});
    const std::wstring longName(261, L'n');
    CLocalStorage storage = Storage();

    EXPECT_EQ(storage.InsertFile(AnyFile(3), Path(longName).c_str(), 0, 0, FILE_STATUS_SYNCED), E_FAIL);
    // The folder's own new name fits, its child's does not.
    const std::wstring target = Path(std::wstring(256, L'f'));
    EXPECT_EQ(storage.SetFileName(1, Path(L"Docs").c_str(), target.c_str(), "h", 2), E_FAIL);
    EXPECT_EQ(storage.SetFileName(Row(1), Path(L"Docs").c_str(), target.c_str(), "h", 2), E_FAIL);
    ChangeRecord change;
    change.name = longName;
    EXPECT_EQ(storage.InsertChanges({change}), E_FAIL);

    const std::string log = LogText();
    EXPECT_NE(log.find(ExceptionLine("InsertFile", 18)), std::string::npos) << log;
    EXPECT_NE(log.find(ExceptionLine("SetFileName", 18)), std::string::npos) << log;
    EXPECT_NE(log.find(ExceptionLine("InsertChanges", 18)), std::string::npos) << log;
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"Docs", L"Docs\\a.txt"}));
    ChangeRecordList changes;
    EXPECT_EQ(storage.GetChanges(changes, false), S_OK);
    EXPECT_TRUE(changes.empty());
}

TEST_F(LocalStorageFailure, WithoutTheMutexNothingRuns) {
    const std::wstring name = UniqueName(L"BrelioStorageTestClash");
    UniqueKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    CNamedMutex unusable;
    ASSERT_TRUE(FAILED(unusable.Create(name.c_str())));

    const std::string before = ReadFileBytes(m_database);
    CLocalStorage storage(&unusable, m_database.c_str(), m_root.c_str());
    EXPECT_EQ(storage.InsertFile(AnyFile(1), Path(L"a.txt").c_str(), 0, 0, FILE_STATUS_SYNCED), E_FAIL);
    CLocalStorage none(nullptr, m_database.c_str(), m_root.c_str());
    EXPECT_EQ(none.SetLatestRevision(5), E_FAIL);
    EXPECT_NE(LogText().find("InsertFile Lock failed"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(m_database), before);
}

}  // namespace
}  // namespace brelio::test
