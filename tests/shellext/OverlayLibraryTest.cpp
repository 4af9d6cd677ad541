// The overlay library as built, on a real database file: which overlay
// each item gets from the statuses the engine stores.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "BrelioCore/TextConvert.h"
#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/StorageRecords.h"
#include "LocalDatabase.h"
#include "ShellExtTest.h"
#include "TempFolder.h"

using namespace brelio;
using namespace brelio::test;

namespace {

using IsMemberOfFunction = HRESULT(WINAPI*)(int, HANDLE, const wchar_t*, const wchar_t*, const wchar_t*, DWORD, LONG);

class OverlayLibrary : public ::testing::Test, public LocalDatabaseFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_scratch.Create());
        m_root = m_scratch / L"Sync";
        ASSERT_NO_FATAL_FAILURE(SetUpDatabase(m_scratch.Path(), kLocalStorageMutexName));
        m_library.Reset(::LoadLibraryW(BuiltOverlayLibraryPath().c_str()));
        ASSERT_TRUE(m_library);
        m_isMemberOf = reinterpret_cast<IsMemberOfFunction>(
            reinterpret_cast<void*>(::GetProcAddress(m_library.Get(), "IsMemberOf")));
        ASSERT_NE(m_isMemberOf, nullptr);
    }
    void TearDown() override { TearDownDatabase(); }

    void AddRow(uint64_t id, const wchar_t* name, bool folder, int status) {
        SeedRows({folder ? FolderRow(id, name, status) : FileRow(id, name, status)});
    }

    // The overlay the library gives the path: 1 to 3, or 0 when none of
    // the three applies. More than one is an error.
    int OverlayOf(const std::wstring& path, const wchar_t* database = nullptr, const std::wstring& root = {},
                  LONG generation = 1) {
        int overlay = 0;
        for (int id = 1; id <= 3; ++id) {
            const HRESULT hr = m_isMemberOf(id, m_mutex.Handle(), database ? database : m_database.c_str(),
                                            root.empty() ? m_root.c_str() : root.c_str(), path.c_str(), 0,
                                            generation);
            EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << std::hex << hr;
            if (hr != S_OK) continue;
            EXPECT_EQ(overlay, 0) << "two overlays for " << std::string(path.begin(), path.end());
            overlay = id;
        }
        return overlay;
    }

    CTempFolder m_scratch;
    std::wstring m_root;
    UniqueModule m_library;
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
    {
        // Held open by another program without sharing.
        UniqueKernelHandle unshared(::CreateFileW(m_database.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(unshared);
        EXPECT_EQ(OverlayOf(path), 0);
    }
    ASSERT_TRUE(WriteFileBytes(m_scratch / L"empty.db", ""));
    EXPECT_EQ(OverlayOf(path, (m_scratch / L"empty.db").c_str()), 0);
    EXPECT_EQ(ReadFileBytes(m_scratch / L"empty.db"), "") << "read only: nothing is written";
    EXPECT_EQ(OverlayOf(path), 1);
}

// The answers follow every write of the program, whatever the library
// keeps between two questions: changed statuses, rows that come and go,
// names in other letter cases, a database replaced by a new one, another
// sync folder and another settings generation.
TEST_F(OverlayLibrary, AnswersFollowEachWriteOfTheProgram) {
    AddRow(1, L"docs", true, FILE_STATUS_SYNCED);
    AddRow(2, L"docs\\a.txt", false, FILE_STATUS_SYNCED);
    AddRow(3, L"docs\\sub", true, FILE_STATUS_SYNCED);
    AddRow(4, L"docs\\sub\\b.txt", false, FILE_STATUS_SYNCED);
    AddRow(5, L"top.txt", false, FILE_STATUS_SYNCED);
    struct Expected {
        const wchar_t* relative;
        int overlay;
    };
    const struct {
        const char* what;
        std::function<void()> write;
        std::vector<Expected> expected;
        std::wstring root;
        LONG generation;
    } steps[] = {
        {"as seeded", [] {}, {{L"docs", 1}, {L"docs\\sub", 1}, {L"docs\\a.txt", 1}, {L"top.txt", 1}}, {}, 1},
        {"a file deep down fails",
         [&] { Sql("UPDATE file SET status = 7 WHERE file_id = 4"); },
         {{L"docs", 3}, {L"DOCS\\SUB", 3}, {L"docs\\sub\\b.txt", 3}, {L"docs\\a.txt", 1}, {L"top.txt", 1}},
         {},
         1},
        {"it syncs, another waits",
         [&] { Sql("UPDATE file SET status = 1 WHERE file_id = 4; UPDATE file SET status = 2 WHERE file_id = 2"); },
         {{L"docs", 2}, {L"docs\\sub", 1}, {L"docs\\a.txt", 2}},
         {},
         1},
        {"its row goes", [&] { Sql("DELETE FROM file WHERE file_id = 2"); },
         {{L"docs", 1}, {L"docs\\a.txt", 0}, {L"docs\\sub", 1}},
         {},
         1},
        {"a row in other letters", [&] { AddRow(6, L"DOCS\\Sub\\c.txt", false, FILE_STATUS_RETRANSFER); },
         {{L"docs", 2}, {L"docs\\sub", 2}, {L"docs\\SUB\\C.TXT", 2}, {L"top.txt", 1}},
         {},
         1},
        {"a new database in its place",
         [&] {
             ResetDatabase();
             AddRow(7, L"docs", true, FILE_STATUS_LOCAL_FAILED);
         },
         {{L"docs", 3}, {L"docs\\sub", 0}, {L"top.txt", 0}},
         {},
         1},
        // The same full path is another item under another sync folder.
        {"another sync folder", [] {}, {{L"Sync\\docs", 0}, {L"docs", 3}, {L"", 0}}, m_scratch.Path(), 1},
        {"another generation", [&] { AddRow(8, L"top.txt", false, FILE_STATUS_CHANGED); },
         {{L"docs", 3}, {L"top.txt", 2}}, {}, 2},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        {
            // The program writes under the storage mutex.
            ASSERT_EQ(m_mutex.Lock(), static_cast<DWORD>(WAIT_OBJECT_0));
            step.write();
            m_mutex.Unlock();
        }
        const std::wstring root = step.root.empty() ? m_root : step.root;
        for (const Expected& e : step.expected) {
            const std::wstring path = e.relative[0] ? root + L"\\" + e.relative : root;
            EXPECT_EQ(OverlayOf(path, nullptr, root, step.generation), e.overlay)
                << WideToUtf8(path);
        }
    }
}

// More folders than the library keeps in memory: folders are then answered
// one by one, by the same rule.
TEST_F(OverlayLibrary, ATableOfVeryManyFoldersIsAnsweredByTheSameRule) {
    Sql("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < 70000) "
        "INSERT INTO file(file_id, name, is_folder, size, last_write_time, hash, revision, version, status) "
        "SELECT 100 + i, printf('many\\d%05d', i), 1, 0, 1, '', 1, 1, 1 FROM n");
    AddRow(1, L"many", true, FILE_STATUS_SYNCED);
    AddRow(2, L"many\\d00005\\x.txt", false, FILE_STATUS_LOCAL_FAILED);
    AddRow(3, L"other", true, FILE_STATUS_SYNCED);
    AddRow(4, L"other\\y.txt", false, FILE_STATUS_CHANGED);
    const struct {
        const wchar_t* relative;
        int overlay;
    } cases[] = {
        {L"many", 3}, {L"many\\d00005", 3}, {L"many\\d00006", 1}, {L"other", 2}, {L"other\\y.txt", 2},
    };
    for (const auto& c : cases) EXPECT_EQ(OverlayOf(m_root + L"\\" + c.relative), c.overlay) << WideToUtf8(c.relative);
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
