// The sync folder's database at sign-in and after a folder change: kept
// when it is ours or cannot be read for now, replaced when it is not, and
// never replaced while the workers still run or silently reused when the
// replacement fails.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "BoxAnswerer.h"
#include "BrelioApp/StringIds.h"
#include "BrelioCore/StringTable.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioServices/SQLiteConnection.h"
#include "BrelioSync/SyncItem.h"
#include "BrelioSync/SyncManager.h"
#include "ClientAppTest.h"

using namespace brelio::test;

namespace {

class LocalStorage : public ClientAppTest {
protected:
    void SetUp() override {
        ClientAppTest::SetUp();
        ASSERT_EQ(m_app->GetSettings().LoadAccount(), S_OK);
        m_path = m_app->GetSettings().GetLocalStoragePath();
        ::DeleteFileW(m_path.c_str());
    }

    // A database of our version, as an earlier run left it, with a mark
    // of its own that the engine never touches.
    void MakeOurDatabase() {
        ASSERT_EQ(CSQLiteConnection::CreateDatabase(m_path.c_str()), 0);
        Exec("CREATE TABLE earlier_run (mark INTEGER)");
    }
    // A database of another schema version.
    void MakeForeignDatabase() {
        Exec("CREATE TABLE config (version INTEGER)");
        Exec("INSERT INTO config VALUES (1)");
    }
    void Exec(const char* statement) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(brelio::WideToUtf8(m_path).c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, statement, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    int Version() { return CSQLiteConnection::GetDatabaseVersion(m_path.c_str()); }
    bool HoldsKeptRow() {
        try {
            CSQLiteConnection db;
            db.Open(m_path.c_str(), OpenMode::ReadOnly);
            return db.TableExists(L"earlier_run");
        } catch (int) {
            return false;
        }
    }
    std::wstring m_path;
};

// Something holding the database file while the check runs.
struct Holder {
    const char* what;
    // Takes hold of the file; returns what lets it go.
    std::function<std::function<void()>(const std::wstring&)> take;
};

std::function<void()> HoldWriteLock(const std::wstring& path) {
    sqlite3* db = nullptr;
    sqlite3_open(brelio::WideToUtf8(path).c_str(), &db);
    sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    return [db] {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    };
}

std::function<void()> HoldOpen(const std::wstring& path, DWORD share) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    return [file] {
        if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    };
}

}  // namespace

// A file that cannot be read this time is no verdict on what it holds:
// the user's sync state stays, whatever version it is.
TEST_F(LocalStorage, ADatabaseThatCannotBeReadNowIsKept) {
    const Holder holders[] = {
        {"a writer's exclusive lock", HoldWriteLock},
        {"another program, no sharing", [](const std::wstring& p) { return HoldOpen(p, 0); }},
    };
    for (const Holder& holder : holders) {
        SCOPED_TRACE(holder.what);
        MakeOurDatabase();
        const std::function<void()> release = holder.take(m_path);
        CBoxAnswerer answerer({}, {}, LoadStringText(IDS_APP_TITLE));
        EXPECT_EQ(m_app->CheckLocalStorageVersion(nullptr), S_OK);
        release();
        EXPECT_TRUE(answerer.Texts().empty());
        EXPECT_TRUE(HoldsKeptRow());
        EXPECT_TRUE(m_app->IsStorageReady());
        ASSERT_TRUE(::DeleteFileW(m_path.c_str()));
    }
}

TEST_F(LocalStorage, OursIsKeptAndAnythingElseReplaced) {
    struct Case {
        const char* what;
        std::function<void()> make;
        HRESULT result;
        bool keptRow;
    };
    const Case cases[] = {
        {"our version", [&] { MakeOurDatabase(); }, S_OK, true},
        {"another version", [&] { MakeForeignDatabase(); }, S_FALSE, false},
        {"not a database", [&] { ASSERT_TRUE(WriteFileBytes(m_path, std::string(4096, 'x'))); }, S_FALSE, false},
        {"no file", [] {}, S_FALSE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.make();
        EXPECT_EQ(m_app->CheckLocalStorageVersion(nullptr), c.result);
        EXPECT_EQ(Version(), kLocalStorageSchemaVersion);
        EXPECT_EQ(HoldsKeptRow(), c.keptRow);
        EXPECT_TRUE(m_app->IsStorageReady());
        ASSERT_TRUE(::DeleteFileW(m_path.c_str()));
    }
}

// The old file cannot go to the recycle bin: the user is told, the file
// stays as it was, and the engine does not start on it.
TEST_F(LocalStorage, AFailedReplacementIsShownAndTheFileKept) {
    MakeForeignDatabase();
    const std::function<void()> release = HoldOpen(m_path, FILE_SHARE_READ | FILE_SHARE_WRITE);
    CBoxAnswerer answerer({IDOK}, {}, LoadStringText(IDS_APP_TITLE));
    EXPECT_TRUE(FAILED(m_app->CheckLocalStorageVersion(nullptr)));
    release();
    ASSERT_EQ(answerer.Texts().size(), 1u);
    EXPECT_EQ(answerer.Texts()[0], LoadStringText(IDS_SYNC_DATA_NOT_REPLACED));
    EXPECT_EQ(Version(), 1);  // still the foreign file, untouched
    EXPECT_FALSE(m_app->IsStorageReady());
    EXPECT_EQ(m_app->StartSyncThreads(), HRESULT_FROM_WIN32(ERROR_NOT_READY));
}

// After the options window: a new sync folder asks about its database
// while the workers are stopped; a new selection only restarts them with a
// full sync.
TEST_F(LocalStorage, ASettingsChangeRestartsTheEngineAndAsksOnlyForANewFolder) {
    ASSERT_TRUE(m_app->Login(nullptr));
    struct Case {
        const char* what;
        bool folderChanged;
        int answer;  // 0: no question expected
        bool keptRow;
    };
    const Case cases[] = {
        {"selection only", false, 0, true},
        {"new folder, keep the data", true, IDYES, true},
        {"new folder, start afresh", true, IDNO, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(m_app->StopSyncThreads(), S_OK);
        MakeOurDatabase();
        ASSERT_EQ(m_app->StartSyncThreads(), S_OK);
        m_panel.Drain();
        std::atomic<bool> stoppedWhileAsked{false};
        CBoxAnswerer answerer(c.answer != 0 ? std::vector<int>{c.answer} : std::vector<int>{}, [&](size_t) {
            stoppedWhileAsked = ::WaitForSingleObject(m_app->GetStopEvent(), 0) == WAIT_OBJECT_0;
        }, LoadStringText(IDS_APP_TITLE));
        m_app->ResetLocalStorage(c.folderChanged);
        const std::vector<std::wstring> asked = answerer.Texts();
        if (c.answer == 0) {
            EXPECT_TRUE(asked.empty());
        } else {
            ASSERT_EQ(asked.size(), 1u);
            EXPECT_EQ(asked[0], LoadStringText(IDS_KEEP_SYNC_DATA));
            EXPECT_TRUE(stoppedWhileAsked);
        }
        // Running again, with a full pass. Only the workers post here, so
        // the panel's queue is read, not pumped.
        bool passStarted = false;
        for (int waited = 0; !passStarted && waited < 300; ++waited) {
            for (const CPanelView::Item& item : m_panel.Drain())
                if (item.kind == SYNC_ITEM_STATUS && item.path == LoadStringText(IDS_SYNC_STARTED)) passStarted = true;
            if (!passStarted) ::Sleep(100);
        }
        EXPECT_TRUE(passStarted);
        EXPECT_EQ(::WaitForSingleObject(m_app->GetStopEvent(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
        ASSERT_EQ(m_app->StopSyncThreads(), S_OK);
        EXPECT_EQ(HoldsKeptRow(), c.keptRow);
        ASSERT_TRUE(::DeleteFileW(m_path.c_str()));
    }
}
