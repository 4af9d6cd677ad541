#pragma once
#include <gtest/gtest.h>

#include <string>

#include "BrelioServices/LocalStorage.h"
#include "LocalDatabase.h"
#include "TempFolder.h"

namespace brelio::test {

// A fresh database of the current schema in a scratch folder, a sync root
// folder beside it, a storage mutex of this test's own and the log written
// to a file of its own.
class StorageTest : public ::testing::Test, public LocalDatabaseFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    CLocalStorage Storage() { return CLocalStorage(&m_mutex, m_database.c_str(), m_root.c_str()); }
    // The full path of a row name under the sync root.
    std::wstring Path(const std::wstring& name) const { return m_root + L"\\" + name; }

    CTempFolder m_folder;
    std::wstring m_root;
    std::wstring m_mutexName;
};

}  // namespace brelio::test
