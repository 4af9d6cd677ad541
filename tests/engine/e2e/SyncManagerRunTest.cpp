// The sync manager's three threads for its host's settings, as the
// program starts and stops them: a stop takes effect even while a request
// waits for the server, and the next start runs on the new settings.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <iostream>
#include <ostream>
#include <string>
#include <vector>

#include "BrelioCore/TextConvert.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioServices/SQLiteConnection.h"
#include "DriveTree.h"
#include "EngineTest.h"
#include "Sha256.h"

using namespace brelio::test;

namespace {

// Longer than the stop's waits together: only a cancel ends the request.
constexpr int kAnswerDelayMs = 20000;

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

class SyncManagerRun : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
        ASSERT_EQ(m_host.GetStorageMutex().Create(kLocalStorageMutexName), S_OK);
        CSettings& settings = m_host.GetSettings();
        ASSERT_GE(settings.LoadGlobal(), 0);
        ASSERT_EQ(settings.SetAccount(brelio::Utf8ToWide(m_account.tenant).c_str(), L"stopper"), ERROR_SUCCESS);
        settings.GetSyncFolders().Clear();
        UseRoot(m_root);
        m_host.GetStopEvent().ResetEvent();
    }

    void TearDown() override {
        EXPECT_EQ(m_manager.StopAll(), S_OK);
        m_host.GetStopEvent().ResetEvent();
        if (HasFailure()) std::cout << "The engine's log:\n" << LogText();
        for (const std::wstring& database : m_databases) ::DeleteFileW(database.c_str());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
        EngineTest::TearDown();
    }

    // The settings' sync folder becomes the folder, with a database of its own.
    void UseRoot(const std::wstring& root) {
        CSettings& settings = m_host.GetSettings();
        ASSERT_EQ(settings.SetRootDir(root.c_str()), S_OK);
        const std::wstring database = settings.GetLocalStoragePath();
        for (const std::wstring& used : m_databases) ASSERT_NE(database, used);
        ASSERT_EQ(CSQLiteConnection::CreateDatabase(database.c_str()), 0);
        m_databases.push_back(database);
    }

    // The manager's start as the program makes it: stop event reset.
    HRESULT Start() {
        m_host.GetStopEvent().ResetEvent();
        return m_manager.StartAll();
    }

    bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds = 30000) {
        const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
        for (;;) {
            Items();  // what the engine posted is freed as it comes
            if (condition()) return true;
            if (::GetTickCount64() >= deadline) return false;
            ::Sleep(100);
        }
    }

    // Under the storage mutex, as the engine reads and writes.
    size_t RowsIn(const std::wstring& database) {
        int count = 0;
        CNamedMutexLock lock(&m_mutex);
        try {
            CSQLiteConnection db;
            db.Open(database.c_str(), OpenMode::ReadOnly);
            db.Exec(L"SELECT COUNT(*) FROM file", &count);
        } catch (int code) {
            ADD_FAILURE() << "counting rows failed with " << code;
        }
        return static_cast<size_t>(count);
    }

    std::vector<std::wstring> m_databases;
};

// A request of the first run's full sync that the stand-in holds back.
struct HeldRequest {
    const char* name;
    const char* method;
    const char* path;  // the fault's pattern
    bool localFile;    // a local file to upload in the first folder
};

void PrintTo(const HeldRequest& held, std::ostream* out) { *out << held.name; }

class StopDuringRequest : public SyncManagerRun, public ::testing::WithParamInterface<HeldRequest> {};

TEST_P(StopDuringRequest, EndsTheSyncThreadAndTheNextStartSyncsTheNewFolder) {
    const HeldRequest& held = GetParam();
    Seed({FileWithContent("/remote.txt", "fresh")});
    if (held.localFile) WriteLocal(L"local.txt", "mine");
    Json::Value fault;
    fault["method"] = held.method;
    fault["path"] = held.path;
    fault["delayMs"] = kAnswerDelayMs;
    AddFault(fault);
    ASSERT_EQ(Start(), S_OK);
    m_manager.RequestSync(true);
    ASSERT_TRUE(WaitForFaultsTaken()) << "the first run's request reached the stand-in";
    EXPECT_EQ(m_manager.StopAll(), S_OK) << "every thread ended within the stop's wait";

    const std::wstring firstDatabase = m_databases.back();
    const std::wstring second = m_folder / L"Second";
    UseRoot(second);
    ASSERT_EQ(Start(), S_OK);
    m_manager.RequestSync(true);
    EXPECT_TRUE(WaitUntil([&] {
        return ReadFileBytes(second + L"\\remote.txt") == "fresh" && RowsIn(m_databases.back()) == 1;
    })) << "the new run syncs the new folder into the new database";
    EXPECT_FALSE(FileExists(Local(L"remote.txt"))) << "nothing reached the old folder";
    EXPECT_EQ(RowsIn(firstDatabase), 0u) << "nor the old database";
}

INSTANTIATE_TEST_SUITE_P(HeldRequests, StopDuringRequest,
                         ::testing::Values(HeldRequest{"Listing", "GET", "^/files\\?parentId=", false},
                                           HeldRequest{"Download", "GET", "media=raw", false},
                                           HeldRequest{"Upload", "POST", "^/files\\?parentId=", true}),
                         [](const ::testing::TestParamInfo<HeldRequest>& info) { return std::string(info.param.name); });

TEST_F(SyncManagerRun, RequestSyncStartsThePassAsked) {
    ASSERT_EQ(Start(), S_OK);
    for (const bool full : {false, true, false}) {
        SCOPED_TRACE(full ? "full" : "partial");
        const std::string before = LogText();
        m_manager.RequestSync(full);
        // Either pass ends with the partial sync.
        ASSERT_TRUE(WaitUntil([&] {
            return CountOf(LogText(), "Partial Sync completed.") > CountOf(before, "Partial Sync completed.");
        }));
        const std::string after = LogText();
        EXPECT_EQ(CountOf(after, "Full Sync started.") - CountOf(before, "Full Sync started."), full ? 1u : 0u);
        EXPECT_EQ(CountOf(after, "Partial Sync started.") - CountOf(before, "Partial Sync started."), 1u);
    }
}

// A change made at once after the start: the passes wait for the monitor
// to watch, so that it is not lost until the next start. No full sync is
// asked for, whose walk would find it anyway.
struct RightAfterStart {
    const char* name;
    std::function<void(SyncManagerRun&)> change;
    const char* remotePath;
    std::string content;  // kFolderMark for a folder
};

void PrintTo(const RightAfterStart& c, std::ostream* out) { *out << c.name; }

class ChangeRightAfterStart : public SyncManagerRun, public ::testing::WithParamInterface<RightAfterStart> {};

TEST_P(ChangeRightAfterStart, IsSynced) {
    const RightAfterStart& c = GetParam();
    const DWORD idleTime = 300;
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, kSyncIdleTimeValue, REG_DWORD, &idleTime,
                                sizeof(idleTime)),
              ERROR_SUCCESS);
    ASSERT_EQ(Start(), S_OK);
    c.change(*this);
    const std::string expected = c.content == kFolderMark ? std::string(kFolderMark) : Sha256Hex(c.content);
    EXPECT_TRUE(WaitUntil([&] {
        const DriveTree remote = RemoteTree(m_account.session);
        const auto found = remote.find(c.remotePath);
        return found != remote.end() && found->second == expected;
    })) << "the drive got what was made at once after the start";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChangeRightAfterStart,
    ::testing::Values(
        RightAfterStart{"AFileWritten", [](SyncManagerRun& t) { t.WriteLocal(L"early.txt", "early"); }, "early.txt", "early"},
        RightAfterStart{"AFolderMade", [](SyncManagerRun& t) { t.MakeLocalFolder(L"Early"); }, "Early", kFolderMark}),
    [](const ::testing::TestParamInfo<RightAfterStart>& info) { return std::string(info.param.name); });

}  // namespace
