#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "BrelioCore/TextConvert.h"
#include "BrelioServices/LocalStorage.h"
#include "TempFolder.h"

namespace brelio::test {

// A fresh database of the current schema in a scratch folder, a sync root
// folder beside it, a storage mutex of this test's own and the log written
// to a file of its own.
class StorageTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    CLocalStorage Storage() { return CLocalStorage(&m_mutex, m_database.c_str(), m_root.c_str()); }
    // The full path of a row name under the sync root.
    std::wstring Path(const std::wstring& name) const { return m_root + L"\\" + name; }
    // Replaces the database with a new, empty one.
    void ResetDatabase();

    // Direct access for fixtures and checks, outside the storage mutex.
    void Seed(std::initializer_list<FileRecord> rows);
    void Sql(const char* statement);
    std::vector<std::wstring> Names();  // every file row, sorted
    FileRecord Row(uint64_t fileId);    // file_id 0 when there is none
    std::string LogText() const;

    CTempFolder m_folder;
    std::wstring m_root;
    std::wstring m_database;
    std::wstring m_log;
    CNamedMutex m_mutex;
    std::wstring m_mutexName;
};

FileRecord Folder(uint64_t id, const wchar_t* name, int status = FILE_STATUS_SYNCED);
FileRecord File(uint64_t id, const wchar_t* name, int status = FILE_STATUS_SYNCED, uint64_t revision = 1);

}  // namespace brelio::test
