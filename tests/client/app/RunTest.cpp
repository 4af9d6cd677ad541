// The application object's whole run as the program makes it: silent
// sign-in with the stored session, the frame, the engine, the loop, and
// what the end leaves behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "BoxAnswerer.h"
#include "BrelioApp/ResourceIds.h"
#include "BrelioApp/StringIds.h"
#include "BrelioCore/StringTable.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioServices/SessionError.h"
#include "ClientAppTest.h"

using namespace brelio::test;

namespace {

class ClientRun : public ClientAppTest {
protected:
    // Runs the program's loop; `during` is called on the loop's thread
    // every 100 ms while the frame exists, until it returns true.
    int RunWhile(std::function<bool()> during) {
        s_during = std::move(during);
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &ClientRun::Tick);
        const int code = m_app->Run(&m_loop, SW_HIDE);
        ::KillTimer(nullptr, timer);
        s_during = nullptr;
        return code;
    }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (!s_during || CDriveApp::GetInstance()->GetMainFrameWindow() == nullptr) return;
        if (s_during()) s_during = nullptr;
    }
    static std::function<bool()> s_during;
};
std::function<bool()> ClientRun::s_during;

// A window class of this program registered by someone else first, so
// that the program's own registration of the name fails; given back when
// the object goes.
class CTakenWindowClass {
public:
    explicit CTakenWindowClass(const wchar_t* name) : m_name(name) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = name;
        m_taken = ::RegisterClassExW(&wc) != 0;
    }
    ~CTakenWindowClass() {
        if (m_taken) ::UnregisterClassW(m_name, ::GetModuleHandleW(nullptr));
    }
    CTakenWindowClass(const CTakenWindowClass&) = delete;
    CTakenWindowClass& operator=(const CTakenWindowClass&) = delete;
    bool Taken() const { return m_taken; }

private:
    const wchar_t* m_name;
    bool m_taken = false;
};

}  // namespace

TEST_F(ClientRun, SignsInSilentlySyncsAndEndsWithOneOnExit) {
    Seed({FileItem("/Documents/plan.txt", 1000)});
    const std::wstring synced = m_folder / L"Documents\\plan.txt";
    const int code = RunWhile([&] {
        if (!FileExists(synced)) return false;
        ::PostMessageW(Frame(), WM_COMMAND, ID_APP_EXIT, 0);
        return true;
    });
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(FileExists(synced));
    // Signed in as before: the next start needs no sign-in window.
    EXPECT_EQ(ReadSettingText(L"", kAccountValue), StoredAccountName(m_account));
    EXPECT_FALSE(ReadSettingText(StoredAccountName(m_account), kSessionIdValue).empty());
}

// Without "keep me signed in" the end of the program signs out: the
// session and the account are cleared, so the next start asks again.
TEST_F(ClientRun, WithoutAutoLoginTheEndSignsOutAndClearsTheAccount) {
    const int code = RunWhile([&] {
        // As the options window's check box does while the program runs.
        EXPECT_EQ(m_app->GetSettings().SetAutoLogin(false), ERROR_SUCCESS);
        ::PostMessageW(Frame(), WM_COMMAND, ID_APP_EXIT, 0);
        return true;
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(ReadSettingText(L"", kAccountValue), L"");
    EXPECT_EQ(ReadSettingText(StoredAccountName(m_account), kSessionIdValue), L"");
    EXPECT_FALSE(m_app->GetSettings().HasSession());
}

// A stored session the service refuses: a session error is told once
// (string 8006), any other refusal silently; then the tenant window asks.
TEST_F(ClientRun, ARefusedStoredSessionIsToldOnlyForASessionErrorThenTheTenantWindowAsks) {
    struct Case {
        int serverCode;
        bool told;
    };
    const Case cases[] = {{-15400200, true}, {-15400201, true}, {-15400202, true}, {-15300700, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "server code " << c.serverCode);
        StoreSignIn(m_account, m_folder.Path());
        ASSERT_GE(m_app->GetSettings().LoadGlobal(), 0);
        ClearFaults();
        Json::Value fault;
        fault["method"] = "GET";
        fault["path"] = "^/drives";
        fault["envelope"]["resultCode"] = c.serverCode;
        fault["envelope"]["httpStatus"] = 200;
        AddFault(fault);
        CWindowCloser tenantWindow(L"BrelioDrive.TenantWnd");
        CBoxAnswerer answerer({IDOK}, {}, LoadStringText(IDS_APP_TITLE));
        EXPECT_FALSE(m_app->Login(nullptr));
        EXPECT_EQ(tenantWindow.Closed(), 1);
        const std::vector<std::wstring> told = answerer.Texts();
        if (c.told) {
            ASSERT_EQ(told.size(), 1u);
            EXPECT_EQ(told[0], LoadStringText(IDS_DRIVE_SERVICE_DISABLED));
        } else {
            EXPECT_TRUE(told.empty());
        }
    }
}

// The stored folder is checked as the options window checks it: the
// engine never starts on a drive or on the program's own folders.
TEST_F(ClientRun, TheEngineStartsOnlyOnASyncFolderTheOptionsWindowWouldTake) {
    ASSERT_TRUE(m_app->Login(nullptr));
    wchar_t local[MAX_PATH] = L"";
    ASSERT_GT(::ExpandEnvironmentStringsW(L"%LOCALAPPDATA%", local, MAX_PATH), 0u);
    struct Case {
        std::wstring folder;
        bool started;
    };
    const Case cases[] = {
        {L"C:\\", false},
        {local, false},
        {m_folder.Path(), true},
    };
    const std::wstring accountKey = std::wstring(kSettingsKeyPath) + L"\\" + StoredAccountName(m_account);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.folder);
        const DWORD bytes = static_cast<DWORD>((c.folder.size() + 1) * sizeof(wchar_t));
        ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, accountKey.c_str(), kRootDirValue, REG_SZ, c.folder.c_str(), bytes),
                  ERROR_SUCCESS);
        (void)m_app->GetSettings().LoadAccount();
        const HRESULT started = m_app->StartSyncThreads();
        EXPECT_EQ(SUCCEEDED(started), c.started) << std::hex << started;
        if (!c.started) EXPECT_EQ(started, CDriveApp::kSyncFolderRefused);
        EXPECT_EQ(m_app->StopSyncThreads(), S_OK);
    }
}

// A main frame that cannot be made is told, and the run ends with -1 with
// nothing of the frame left behind: neither its window nor a quit message
// for a later loop. The frame fails before its window gets a message (its
// class), and after (the panel it stands on cannot be made).
TEST_F(ClientRun, AFrameThatCannotBeMadeIsToldAndTheRunEndsWithMinusOne) {
    struct Case {
        const char* what;
        const wchar_t* takenClass;
    };
    const Case cases[] = {
        {"the frame's window class is taken", L"BrelioDrive.MainFrame"},
        {"the panel's status bar class is taken", L"BrelioDrive.SyncStatusBar"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CTakenWindowClass taken(c.takenClass);
        ASSERT_TRUE(taken.Taken());
        CBoxAnswerer answerer({IDOK}, {}, LoadStringText(IDS_APP_TITLE));
        // Should a frame come up after all, it is ended at once.
        const int code = RunWhile([&] {
            ::PostMessageW(Frame(), WM_COMMAND, ID_APP_EXIT, 0);
            return true;
        });
        EXPECT_EQ(code, -1);
        EXPECT_TRUE(answerer.WaitForBoxes(1, 30000));
        EXPECT_EQ(answerer.Texts(), std::vector<std::wstring>{LoadStringText(IDS_INIT_FAILED)});
        EXPECT_EQ(Frame(), nullptr);
        EXPECT_EQ(::FindWindowW(L"BrelioDrive.MainFrame", nullptr), nullptr);
        MSG quit;
        EXPECT_FALSE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    }
}
