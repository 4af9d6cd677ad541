// A first run end to end through the real windows: the tenant window, the
// web sign-in (through the test browser object), the options window, the
// new database, the first sync, the tray icon, and the Explorer entry and
// Links shortcut pointing at the folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

#include "BoxAnswerer.h"
#include "BrelioApp/ResourceIds.h"
#include "BrelioApp/StringIds.h"
#include "BrelioApp/TenantWnd.h"
#include "BrelioCore/ComPtr.h"
#include "BrelioCore/StringTable.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioServices/GlobalSettings.h"
#include "BrelioServices/NavigationPane.h"
#include "BrelioServices/RegistryLayout.h"
#include "ClientAppTest.h"
#include "TestBrowser.h"

using namespace brelio::test;

namespace {

constexpr char kTenant[] = "firstco";

class FirstRun : public ClientAppTest {
protected:
    void StoreSettings() override {
        RemoveSettings();
        ASSERT_EQ(SetFirstRun(true), ERROR_SUCCESS);
        // The drive is asked for changes every second, so that a file put
        // on it after the sign-in arrives soon.
        WriteSettingNumber(kSyncIdleTimeValue, 1000);
        Json::Value body;
        body["tenant"] = kTenant;
        body["userCode"] = std::string("owner@") + kTenant;
        body["name"] = "Owner";
        ControlPost("/accounts", body);
    }
    void TearDown() override {
        const std::wstring root = m_app->GetSettings().GetRootDir();
        ClientAppTest::TearDown();
        if (!root.empty()) RemoveTree(root);
    }

    // Runs the application with `step` called every 100 ms until it says
    // it is done. A run whose steps stop arriving (a window that never
    // shows, a box nobody expected) is ended by closing its windows once
    // the bound has passed, so that the test fails with where it stood
    // rather than hanging.
    int RunWithSteps(std::function<bool()> step) {
        s_step = std::move(step);
        s_deadline = ::GetTickCount64() + kRunBound;
        s_timedOut = false;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &FirstRun::Tick);
        const int code = m_app->Run(&m_loop, SW_HIDE);
        ::KillTimer(nullptr, timer);
        s_step = nullptr;
        return code;
    }
    static bool TimedOut() { return s_timedOut; }

private:
    static constexpr ULONGLONG kRunBound = 120000;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    static std::function<bool()> s_step;
    static ULONGLONG s_deadline;
    static bool s_timedOut;

protected:
    CTestBrowserClass m_browserClass;
};
std::function<bool()> FirstRun::s_step;
ULONGLONG FirstRun::s_deadline = 0;
bool FirstRun::s_timedOut = false;

// A visible window of `className` that belongs to this process: another
// program's window of the same class is not this run's.
HWND Visible(const wchar_t* className) {
    return FindTopWindow(className, ::GetCurrentProcessId(), WindowVisibility::VisibleOnly);
}

void CALLBACK FirstRun::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (s_step && s_step()) s_step = nullptr;
    // Also after the last step: the run must still end by itself.
    if (::GetTickCount64() < s_deadline) return;
    s_timedOut = true;
    for (const wchar_t* className : {L"BrelioDrive.OptionsWnd", L"BrelioDrive.LoginWnd", L"BrelioDrive.TenantWnd"}) {
        if (const HWND window = Visible(className)) ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (const HWND frame = CDriveApp::GetInstance()->GetMainFrameWindow())
        ::PostMessageW(frame, WM_COMMAND, ID_APP_EXIT, 0);
}

std::wstring ShortcutTarget(const std::wstring& path) {
    brelio::ComPtr<IShellLinkW> link;
    brelio::ComPtr<IPersistFile> file;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(link.Put()))) ||
        FAILED(link.As(file)) || FAILED(file->Load(path.c_str(), STGM_READ)))
        return L"";
    wchar_t target[MAX_PATH] = L"";
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, 0))) return L"";
    return target;
}

// Types the tenant into the tenant window and presses Next, once the
// window is up; false while it is not.
bool TypeTenantWhenShown() {
    const HWND tenant = Visible(L"BrelioDrive.TenantWnd");
    if (tenant == nullptr) return false;
    ::SetDlgItemTextW(tenant, CTenantWnd::kEditId, brelio::Utf8ToWide(kTenant).c_str());
    ::PostMessageW(tenant, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return true;
}

}  // namespace

TEST_F(FirstRun, TenantSignInOptionsDatabaseSyncAndTrayThroughTheRealWindows) {
    ASSERT_EQ(m_browserClass.Registered(), S_OK);
    ASSERT_TRUE(m_app->GetSettings().IsFirstRun());
    bool typed = false, optionsAccepted = false, seeded = false, trayIconSeen = false;
    std::wstring synced;
    const auto step = [&] {
        if (!typed) {
            typed = TypeTenantWhenShown();
            return false;
        }
        if (!optionsAccepted) {
            if (const HWND options = Visible(L"BrelioDrive.OptionsWnd")) {
                ::PostMessageW(options, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                optionsAccepted = true;
            }
            return false;
        }
        if (Frame() == nullptr || ::FindWindowW(L"BrelioDrive.OptionsWnd", nullptr) != nullptr) return false;
        if (!seeded) {
            // The web sign-in made a new member of the tenant; its drive
            // gets a file.
            Json::Value body;
            body["session"] = brelio::WideToUtf8(m_app->GetSettings().GetSessionId());
            body["items"][0]["path"] = "/welcome.txt";
            body["items"][0]["size"] = 1234;
            ControlPost("/seed", body);
            synced = m_app->GetSettings().GetRootDir() + L"\\welcome.txt";
            seeded = true;
            return false;
        }
        if (!FileExists(synced)) return false;
        trayIconSeen = TrayIconPresent();
        ::PostMessageW(Frame(), WM_COMMAND, ID_APP_EXIT, 0);
        return true;
    };
    // A fresh folder has no earlier database to ask about: any box is
    // declined and recorded.
    CBoxAnswerer answerer({}, {}, LoadStringText(IDS_APP_TITLE));
    const int code = RunWithSteps(step);

    EXPECT_FALSE(TimedOut()) << "typed " << typed << ", options accepted " << optionsAccepted << ", seeded " << seeded;
    EXPECT_EQ(code, 1);
    EXPECT_EQ(answerer.Texts(), std::vector<std::wstring>{});
    EXPECT_TRUE(typed);
    EXPECT_TRUE(optionsAccepted);
    EXPECT_TRUE(trayIconSeen);
    ASSERT_FALSE(synced.empty());
    EXPECT_TRUE(FileExists(synced));
    EXPECT_EQ(ReadSettingNumber(kFirstRunValue), 0);
    const std::wstring root = m_app->GetSettings().GetRootDir();
    EXPECT_TRUE(FileExists(m_app->GetSettings().GetLocalStoragePath()));
    // Explorer's entry and the Links shortcut lead to the folder.
    const std::wstring bag = std::wstring(L"Software\\Classes\\CLSID\\") + kNavigationPaneClsid + L"\\Instance\\InitPropertyBag";
    wchar_t target[MAX_PATH] = L"";
    DWORD size = sizeof(target);
    ::RegGetValueW(HKEY_CURRENT_USER, bag.c_str(), L"TargetFolderPath", RRF_RT_REG_SZ, nullptr, target, &size);
    EXPECT_EQ(_wcsicmp(target, root.c_str()), 0) << brelio::WideToUtf8(target);
    PWSTR links = nullptr;
    ASSERT_EQ(::SHGetKnownFolderPath(FOLDERID_Links, 0, nullptr, &links), S_OK);
    const std::wstring shortcut = std::wstring(links) + L"\\BrelioDrive.lnk";
    ::CoTaskMemFree(links);
    EXPECT_EQ(_wcsicmp(ShortcutTarget(shortcut).c_str(), root.c_str()), 0) << brelio::WideToUtf8(ShortcutTarget(shortcut));
}

// Cancelling the first-run options ends the run with -1, keeps the next
// start a first run, and leaves no frame or tray icon behind.
TEST_F(FirstRun, CancelledOptionsEndWithMinusOneAndLeaveNoFrameOrTrayIcon) {
    ASSERT_EQ(m_browserClass.Registered(), S_OK);
    bool typed = false, cancelled = false;
    HWND frameSeen = nullptr;
    const auto step = [&] {
        if (!typed) {
            typed = TypeTenantWhenShown();
            return false;
        }
        if (const HWND options = Visible(L"BrelioDrive.OptionsWnd")) {
            frameSeen = Frame();
            ::PostMessageW(options, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            cancelled = true;
            return true;
        }
        return false;
    };
    CBoxAnswerer answerer({}, {}, LoadStringText(IDS_APP_TITLE));
    const int code = RunWithSteps(step);

    EXPECT_FALSE(TimedOut()) << "typed " << typed;
    EXPECT_EQ(answerer.Texts(), std::vector<std::wstring>{});
    EXPECT_EQ(code, -1);
    EXPECT_TRUE(cancelled);
    ASSERT_NE(frameSeen, nullptr);
    EXPECT_FALSE(::IsWindow(frameSeen));
    EXPECT_EQ(Frame(), nullptr);
    // The icon went with the frame: removing it again finds nothing.
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = frameSeen;
    data.uID = 1;
    data.uFlags = NIF_GUID;
    data.guidItem = CMainFrame::kTrayIconId;
    EXPECT_FALSE(::Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_EQ(ReadSettingNumber(kFirstRunValue), 1);
    // No quit message is left for a loop that is no longer there.
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}
