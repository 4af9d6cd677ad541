// The overlay library as built, on a real database file: which overlay
// each item gets from the statuses the engine stores.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/SQLiteConnection.h"
#include "BrelioServices/StorageRecords.h"
#include "ShellExtTest.h"
#include "TempFolder.h"

using namespace brelio;
using namespace brelio::test;

namespace {

using IsMemberOfFunction = HRESULT(WINAPI*)(int, HANDLE, const wchar_t*, const wchar_t*, const wchar_t*, DWORD, LONG);

class OverlayLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_scratch.Create());
        m_root = m_scratch / L"Sync";
        m_database = m_scratch / L"sync.db";
        ASSERT_EQ(CSQLiteConnection::CreateDatabase(m_database.c_str()), 0);
        m_library.Reset(::LoadLibraryW(BuiltOverlayLibraryPath().c_str()));
        ASSERT_TRUE(m_library);
        m_isMemberOf = reinterpret_cast<IsMemberOfFunction>(
            reinterpret_cast<void*>(::GetProcAddress(m_library.Get(), "IsMemberOf")));
        ASSERT_NE(m_isMemberOf, nullptr);
        ASSERT_TRUE(m_mutex);
    }

    void AddRow(uint64_t id, const wchar_t* name, bool folder, int status) {
        CSQLiteConnection db;
        db.Open(m_database.c_str(), OpenMode::ReadWrite);
        FileRecord row;
        row.file_id = id;
        row.name = name;
        row.is_folder = folder;
        row.status = status;
        db.InsertFile(row);
    }

    // The overlay the library gives the path: 1 to 3, or 0 when none of
    // the three applies. More than one is an error.
    int OverlayOf(const std::wstring& path, const wchar_t* database = nullptr) {
        int overlay = 0;
        for (int id = 1; id <= 3; ++id) {
            const HRESULT hr = m_isMemberOf(id, m_mutex.Get(), database ? database : m_database.c_str(), m_root.c_str(),
                                            path.c_str(), 0, 1);
            EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << std::hex << hr;
            if (hr != S_OK) continue;
            EXPECT_EQ(overlay, 0) << "two overlays for " << std::string(path.begin(), path.end());
            overlay = id;
        }
        return overlay;
    }

    CTempFolder m_scratch;
    std::wstring m_root;
    std::wstring m_database;
    UniqueModule m_library;
    UniqueKernelHandle m_mutex{::CreateMutexW(nullptr, FALSE, kLocalStorageMutexName)};
    IsMemberOfFunction m_isMemberOf = nullptr;
};

}  // namespace

TEST_F(OverlayLibrary, TheHighestStatusOfAnItemAndWhatIsBeneathItDecides) {
    AddRow(1, L"synced.txt", false, FILE_STATUS_SYNCED);
    AddRow(2, L"changed.txt", false, FILE_STATUS_CHANGED);
    AddRow(3, L"again.txt", false, FILE_STATUS_RETRANSFER);
    AddRow(4, L"failed.txt", false, FILE_STATUS_LOCAL_FAILED);
    AddRow(10, L"docs", true, FILE_STATUS_SYNCED);
    AddRow(11, L"docs\\a.txt", false, FILE_STATUS_SYNCED);
    AddRow(20, L"work", true, FILE_STATUS_SYNCED);
    AddRow(21, L"work\\sub", true, FILE_STATUS_SYNCED);
    AddRow(22, L"work\\sub\\b.txt", false, FILE_STATUS_LOCAL_FAILED);
    AddRow(23, L"work\\c.txt", false, FILE_STATUS_CHANGED);
    AddRow(30, L"pending", true, FILE_STATUS_SYNCED);
    AddRow(31, L"pending\\d.txt", false, FILE_STATUS_RETRANSFER);
    AddRow(40, L"workshop", true, FILE_STATUS_SYNCED);
    const struct {
        std::wstring path;
        int overlay;
    } cases[] = {
        {m_root + L"\\synced.txt", 1},
        {m_root + L"\\changed.txt", 2},
        {m_root + L"\\again.txt", 2},
        {m_root + L"\\failed.txt", 3},
        {m_root + L"\\docs", 1},
        {m_root + L"\\docs\\a.txt", 1},
        {m_root + L"\\work", 3},
        {m_root + L"\\work\\sub", 3},
        {m_root + L"\\work\\c.txt", 2},
        {m_root + L"\\pending", 2},
        {m_root + L"\\workshop", 1},  // not beneath "work"
        {m_root + L"\\new.txt", 0},   // no row yet
        {m_root, 0},
        {m_scratch / L"Other\\synced.txt", 0},
        {m_scratch / L"Sync2\\synced.txt", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(OverlayOf(c.path), c.overlay) << std::string(c.path.begin(), c.path.end());
}

TEST_F(OverlayLibrary, NoDatabaseOrTheDatabaseHeldGivesNoOverlay) {
    AddRow(1, L"synced.txt", false, FILE_STATUS_SYNCED);
    const std::wstring path = m_root + L"\\synced.txt";
    EXPECT_EQ(OverlayOf(path, (m_scratch / L"missing.db").c_str()), 0);
    EXPECT_FALSE(FileExists(m_scratch / L"missing.db")) << "read only: nothing is created";
    ASSERT_TRUE(WriteFileBytes(m_scratch / L"text.db", "not a database"));
    EXPECT_EQ(OverlayOf(path, (m_scratch / L"text.db").c_str()), 0);
    {
        // Explorer's thread does not wait while the program works on the
        // database: no overlay for now.
        CStorageMutexHolder holder;
        EXPECT_EQ(OverlayOf(path), 0);
    }
    EXPECT_EQ(OverlayOf(path), 1);
}

TEST_F(OverlayLibrary, CarriesTheThreeOverlayIconsInTheOrderOfTheIds) {
    const std::wstring path = BuiltOverlayLibraryPath();
    EXPECT_EQ(::ExtractIconExW(path.c_str(), -1, nullptr, nullptr, 0), 3u);
    for (int index = 0; index < 3; ++index) {
        HICON large = nullptr;
        ASSERT_EQ(::ExtractIconExW(path.c_str(), index, &large, nullptr, 1), 1u) << index;
        UniqueIcon icon(large);
        EXPECT_TRUE(icon) << index;
    }
}
