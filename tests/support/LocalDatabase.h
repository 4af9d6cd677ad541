#pragma once
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/StorageRecords.h"

namespace brelio::test {

// A row of the file table as a test compares it.
struct RowSummary {
    std::wstring name;
    uint64_t fileId = 0;
    int status = 0;
    bool operator==(const RowSummary&) const = default;
};
void PrintTo(const RowSummary& row, std::ostream* out);

// The program's database and log for one test: "storage.db" of the current
// schema and "BrelioDrive.log" in the test's scratch folder, a storage
// mutex, and the rows read and written straight from the database file,
// outside the mutex, for seeding and checks. Fixtures derive from it beside
// their test base.
class LocalDatabaseFixture {
public:
    // From the fixture's SetUp, under ASSERT_NO_FATAL_FAILURE: a new
    // database in the folder, the mutex under the name, and the log
    // written from now on.
    void SetUpDatabase(const std::wstring& folder, const wchar_t* mutexName);
    // From the fixture's TearDown: the log is written no more.
    void TearDownDatabase();
    // Replaces the database with a new, empty one.
    void ResetDatabase();

    void SeedRows(std::initializer_list<FileRecord> rows);
    void SeedRows(const std::vector<FileRecord>& rows);
    void AddChangeRow(const ChangeRecord& change);
    void Sql(const char* statement);

    // Rows by name (relative to the sync folder) or by id; a row with
    // file_id 0 when there is none.
    bool HasRow(const std::wstring& name);
    FileRecord Row(const std::wstring& name);
    FileRecord Row(uint64_t fileId);
    size_t RowCount();
    // Rows of the change table: local changes not yet carried out.
    size_t ChangeCount();
    std::vector<std::wstring> Names();  // every file row, sorted
    std::vector<RowSummary> Rows();     // by name
    std::string LogText() const;

    std::wstring m_database;
    std::wstring m_log;
    CNamedMutex m_mutex;

private:
    size_t CountRowsOf(const wchar_t* table);
};

// Rows as the tests seed them: in sync unless told otherwise, revision 1,
// written at tick 1.
FileRecord FolderRow(uint64_t id, const wchar_t* name, int status = FILE_STATUS_SYNCED);
// A file's hash is "hash<id>" unless given.
FileRecord FileRow(uint64_t id, const wchar_t* name, int status = FILE_STATUS_SYNCED, uint64_t revision = 1);
FileRecord FileRow(uint64_t id, const wchar_t* name, int status, uint64_t revision, const std::string& hash);

}  // namespace brelio::test
