// The main frame and its tray icon, driven by the messages the
// notification area and the user send.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <thread>
#include <vector>

#include "BoxAnswerer.h"
#include "BrelioApp/ResourceIds.h"
#include "BrelioApp/StringIds.h"
#include "BrelioCore/StringTable.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioSync/SyncItem.h"
#include "ClientAppTest.h"
#include "WindowPixels.h"

using namespace brelio::test;

namespace {

class MainFrame : public ClientAppTest {};

void TrayEvent(HWND frame, UINT event) { ::PostMessageW(frame, WM_TRAYICON, 0, MAKELPARAM(event, 1)); }

std::vector<UINT> MenuIds(HMENU menu) {
    std::vector<UINT> ids;
    for (int position = 0; position < ::GetMenuItemCount(menu); ++position) ids.push_back(::GetMenuItemID(menu, position));
    return ids;
}

}  // namespace

TEST_F(MainFrame, SitsAtTheBottomRightOfTheWorkAreaWithItsTrayIcon) {
    SignInWithFrame();
    RECT rect = {};
    ::GetWindowRect(Frame(), &rect);
    RECT work = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // The frame is placed by its monitor's work area: told beside the
    // system's when the place is wrong.
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(Frame(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    const auto areas = [&] {
        return testing::Message() << "frame " << rect.left << "," << rect.top << "-" << rect.right << ","
                                  << rect.bottom << "; work area " << work.right << "x" << work.bottom
                                  << "; monitor's work area " << monitor.rcWork.right << "x" << monitor.rcWork.bottom;
    };
    EXPECT_EQ(rect.right - rect.left, 466) << areas();
    EXPECT_EQ(rect.bottom - rect.top, 613) << areas();
    EXPECT_EQ(rect.right, work.right - 4) << areas();
    EXPECT_EQ(rect.bottom, work.bottom - 4) << areas();
    wchar_t className[64] = L"";
    ::GetClassNameW(Frame(), className, 64);
    EXPECT_STREQ(className, L"BrelioDrive.MainFrame");
    // The notification area may come up after the frame: the icon is then
    // added when the taskbar announces itself.
    EXPECT_TRUE(PumpUntil([&] { return TrayIconPresent(); }, 10000))
        << "notification area " << (::FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr ? "present" : "absent")
        << ", frame " << (::IsWindow(Frame()) ? "present" : "gone");
}

// What the user does to the window and the icon, and whether the frame is
// then on screen. The tray icon stays through all of them.
TEST_F(MainFrame, CloseHidesAndTheTrayIconShowsItAgain) {
    SignInWithFrame();
    const HWND frame = Frame();
    struct Step {
        const char* what;
        std::function<void()> act;
        bool visibleAfter;
    };
    const Step steps[] = {
        {"left click on the icon", [&] { TrayEvent(frame, WM_LBUTTONDOWN); }, true},
        {"close button", [&] { ::PostMessageW(frame, WM_CLOSE, 0, 0); }, false},
        {"Open command", [&] { ::PostMessageW(frame, WM_COMMAND, ID_TRAY_OPEN, 0); }, true},
        {"close again", [&] { ::PostMessageW(frame, WM_CLOSE, 0, 0); }, false},
        {"double click (no action)", [&] { TrayEvent(frame, WM_LBUTTONDBLCLK); }, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_TRUE(PumpUntil([&] { return (::IsWindowVisible(frame) != FALSE) == step.visibleAfter; }, 10000));
        EXPECT_TRUE(::IsWindow(frame));
        EXPECT_TRUE(TrayIconPresent());
    }
    // Open while a sign-out keeps the frame hidden does not show it.
    CDriveApp::GetInstance()->GetFrameWindow()->SetModalState(CMainFrame::kModalOpen | CMainFrame::kModalKeepHidden);
    TrayEvent(frame, WM_LBUTTONDOWN);
    PumpUntil([] { return false; }, 300);
    EXPECT_FALSE(::IsWindowVisible(frame));
}

TEST_F(MainFrame, TrayMenuHoldsTheTestItemsOnlyInTestModeAndDisablesExitWhileModal) {
    SignInWithFrame();
    CMainFrame* frame = CDriveApp::GetInstance()->GetFrameWindow();
    const std::vector<UINT> plain = {ID_TRAY_OPEN, 0, ID_APP_ABOUT, ID_APP_EXIT};
    const std::vector<UINT> testing = {ID_TRAY_OPEN, ID_TRAY_FULL_SYNC, ID_TRAY_PARTIAL_SYNC, 0, ID_APP_ABOUT,
                                       ID_APP_EXIT};
    struct Case {
        long testMode;  // -1: no value
        int modalState;
        std::vector<UINT> items;
        bool exitEnabled;
    };
    const Case cases[] = {
        {-1, 0, plain, true},   {0, 0, plain, true},  {2, 0, plain, true},
        {1, 0, testing, true},  {1, 1, testing, false}, {-1, 3, plain, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "TestMode " << c.testMode << ", modal state " << c.modalState);
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, kTestModeValue);
        if (c.testMode >= 0) WriteSettingNumber(kTestModeValue, static_cast<DWORD>(c.testMode));
        frame->SetModalState(c.modalState);
        const HMENU menu = frame->LoadTrayMenu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(MenuIds(menu), c.items);
        const UINT state = ::GetMenuState(menu, ID_APP_EXIT, MF_BYCOMMAND);
        EXPECT_EQ((state & MF_DISABLED) == 0, c.exitEnabled);
        EXPECT_EQ(state & MF_GRAYED & ~MF_DISABLED, 0u);
        ::DestroyMenu(menu);
    }
}

TEST_F(MainFrame, RightClickOnTheIconShowsTheMenu) {
    SignInWithFrame();
    std::vector<UINT> shown;
    std::thread watcher([&] {
        for (int i = 0; i < 200; ++i) {
            const HWND menu = ::FindWindowW(L"#32768", nullptr);
            if (menu != nullptr && ::IsWindowVisible(menu)) {
                shown.push_back(1);
                ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
                return;
            }
            ::Sleep(50);
        }
    });
    TrayEvent(Frame(), WM_CONTEXTMENU);
    PumpUntil([&] { return !shown.empty(); }, 15000);
    watcher.join();
    EXPECT_EQ(shown.size(), 1u);
    PumpUntil([] { return ::FindWindowW(L"#32768", nullptr) == nullptr || !::IsWindowVisible(::FindWindowW(L"#32768", nullptr)); }, 10000);
    EXPECT_TRUE(::IsWindow(Frame()));
}

TEST_F(MainFrame, TheTrayIconComesBackWhenExplorerStartsAgain) {
    SignInWithFrame();
    ASSERT_TRUE(TrayIconPresent());
    // Explorer's notification area went away with its icons...
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = Frame();
    data.uID = 1;
    data.uFlags = NIF_GUID;
    data.guidItem = CMainFrame::kTrayIconId;
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &data));
    ASSERT_FALSE(TrayIconPresent());
    // ...and tells every top-level window when it is back.
    ::SendMessageW(Frame(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(TrayIconPresent());
}

TEST_F(MainFrame, ExitEndsTheLoopWithOneAndRemovesTheTrayIcon) {
    SignInWithFrame();
    const HWND frame = Frame();
    ::PostMessageW(frame, WM_COMMAND, ID_APP_EXIT, 0);
    EXPECT_EQ(PumpUntilQuit(), 1);
    EXPECT_FALSE(::IsWindow(frame));
    EXPECT_EQ(CDriveApp::GetInstance()->GetMainFrameWindow(), nullptr);
    EXPECT_FALSE(CDriveApp::GetInstance()->PostToMainFrame(WM_NULL, 0, 0));
}

// Exit or a sign-out that arrives while a message box pumps its own loop
// waits for the box: the frame is not destroyed under the loop, and the
// quit message reaches the outer loop.
TEST_F(MainFrame, ExitDuringAMessageBoxWaitsForTheBox) {
    SignInWithFrame();
    const HWND frame = Frame();
    bool frameAliveAfterBox = false;
    {
        CBoxAnswerer answerer({IDOK}, [&](size_t) {
            ::PostMessageW(frame, WM_COMMAND, ID_APP_EXIT, 0);
            ::Sleep(500);  // the box's loop gets the command before the answer
        }, LoadStringText(IDS_APP_TITLE));
        CDriveApp::GetInstance()->ShowMessage(frame, IDS_KEEP_SYNC_DATA, MB_OK);
        frameAliveAfterBox = ::IsWindow(frame) != FALSE;
        EXPECT_EQ(answerer.Texts().size(), 1u);
    }
    EXPECT_TRUE(frameAliveAfterBox);
    EXPECT_EQ(PumpUntilQuit(), 1);
    EXPECT_FALSE(::IsWindow(frame));
}

TEST_F(MainFrame, SignOutRequestDuringAMessageBoxWaitsForTheBox) {
    SignInWithFrame();
    const HWND frame = Frame();
    CSettings& settings = CDriveApp::GetInstance()->GetSettings();
    bool signedInAfterBox = false;
    CWindowCloser tenantWindow(L"BrelioDrive.TenantWnd");
    {
        // The first box is the test's own; the second tells of the
        // session error once the sign-out runs.
        CBoxAnswerer answerer({IDOK, IDOK}, [&](size_t index) {
            if (index != 0) return;
            ::PostMessageW(frame, WM_SYNCITEM, SYNCITEM_SIGN_OUT, static_cast<LPARAM>(0xA0000011));
            ::Sleep(500);
        }, LoadStringText(IDS_APP_TITLE));
        CDriveApp::GetInstance()->ShowMessage(frame, IDS_KEEP_SYNC_DATA, MB_OK);
        signedInAfterBox = settings.HasSession() && ::IsWindow(frame);
        // The sign-out runs now; no new sign-in follows here (the tenant
        // window is closed), so the program ends.
        EXPECT_EQ(PumpUntilQuit(), 1);
        ASSERT_TRUE(answerer.WaitForBoxes(2, 10000));
        EXPECT_EQ(answerer.Texts()[1], LoadStringText(IDS_DRIVE_SERVICE_DISABLED));
    }
    EXPECT_TRUE(signedInAfterBox);
    EXPECT_FALSE(settings.HasSession());
    EXPECT_EQ(ReadSettingText(L"", L"Account"), L"");
}

// The status window as the user first sees it: the header with the
// program's icon, its title and the three buttons, on white, above the
// empty list.
TEST_F(MainFrame, LeavesAScreenshotOfTheStatusWindow) {
    SignInWithFrame();
    ::ShowWindow(Frame(), SW_SHOW);
    PumpUntil([] { return false; }, 300);
    EXPECT_FALSE(SaveWindowShot(Frame(), L"client-main-frame").empty());

    CWindowPixels pixels;
    ASSERT_TRUE(pixels.Capture(Frame()));
    const int w = pixels.Width();
    const int h = pixels.Height();
    EXPECT_EQ(pixels.At(0, h / 2), RGB(0xC0, 0xC0, 0xC0)) << "the border";
    EXPECT_EQ(pixels.At(w / 2, 36), RGB(0xDD, 0xDD, 0xDD)) << "the header line";
    constexpr COLORREF kWhite = RGB(255, 255, 255);
    constexpr COLORREF kBrand = RGB(71, 87, 196);
    constexpr COLORREF kButtonInk = RGB(110, 110, 110);
    struct Area {
        const char* what;
        RECT rect;
        int drawn;     // pixels that are not white, at least
        COLORREF ink;  // and of them, near this colour
        int inked;
    };
    const Area areas[] = {
        {"the program icon", {14, 10, 30, 26}, 100, kBrand, 60},
        {"the title", {37, 8, 130, 30}, 40, RGB(0x22, 0x22, 0x22), 5},
        {"the web button", {w - 103, 7, w - 79, 31}, 30, kButtonInk, 20},
        {"the folder button", {w - 67, 7, w - 43, 31}, 30, kButtonInk, 20},
        {"the options button", {w - 31, 7, w - 7, 31}, 30, kButtonInk, 20},
    };
    for (const Area& a : areas) {
        SCOPED_TRACE(a.what);
        EXPECT_GE(pixels.CountDrawn(a.rect, kWhite), a.drawn);
        EXPECT_GE(pixels.CountNear(a.rect, a.ink, 24), a.inked);
    }
    // Nothing between the title and the buttons, nothing on the empty list.
    EXPECT_EQ(pixels.CountDrawn({140, 1, w - 110, 36}, kWhite), 0);
    EXPECT_EQ(pixels.CountDrawn({1, 37, w - 1, h - 40}, kWhite), 0);
}


// A second sign-out request before the 20 ms timer has fired does the
// sign-out at once, and only once: one new sign-in is asked for, and no
// timer is left to ask again.
TEST_F(MainFrame, TwoSignOutCallsBeforeTheTimerSignOutOnce) {
    SignInWithFrame();
    CWindowCloser tenantWindow(L"BrelioDrive.TenantWnd");
    CDriveApp* app = CDriveApp::GetInstance();
    app->Logout();
    EXPECT_TRUE(app->GetSettings().HasSession());  // only armed
    app->Logout();
    // Done: signed out, and the new sign-in was abandoned, which ends the
    // program.
    EXPECT_FALSE(app->GetSettings().HasSession());
    EXPECT_EQ(PumpUntilQuit(), 1);
    EXPECT_EQ(tenantWindow.Closed(), 1);
}

namespace {

std::function<void()> g_onTick;
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_onTick) g_onTick();
}

void PostToPanel(HWND panel, const wchar_t* text, int32_t kind) {
    auto* item = new CSyncItem(text, false, kind);
    if (!::PostMessageW(panel, WM_SYNCITEM, SYNCITEM_ITEM, reinterpret_cast<LPARAM>(item))) delete item;
}

}  // namespace

// What the panel showed belongs to the session that ended: while the new
// sign-in asks, neither a line nor the last status message is left.
TEST_F(MainFrame, ASignOutEmptiesTheListAndTheStatusBarBeforeTheNewSignIn) {
    SignInWithFrame();
    const HWND frame = Frame();
    CSyncView& panel = CDriveApp::GetInstance()->GetFrameWindow()->GetSyncView();
    PostToPanel(panel, L"C:\\S\\a.txt", SYNC_ITEM_DONE);
    PostToPanel(panel, LoadStringText(IDS_SYNC_COMPLETED).c_str(), SYNC_ITEM_STATUS);
    ASSERT_TRUE(PumpUntil([&] { return panel.GetList().GetItemCount() == 1 && !panel.GetStatusBar().GetText().empty(); }));

    int linesDuringSignIn = -1;
    std::wstring statusDuringSignIn = L"not seen";
    g_onTick = [&] {
        const HWND tenant = ::FindWindowW(L"BrelioDrive.TenantWnd", nullptr);
        if (tenant == nullptr || !::IsWindowVisible(tenant)) return;
        linesDuringSignIn = panel.GetList().GetItemCount();
        statusDuringSignIn = panel.GetStatusBar().GetText();
        g_onTick = nullptr;
        ::PostMessageW(tenant, WM_CLOSE, 0, 0);
    };
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, Tick);
    ::PostMessageW(frame, WM_SYNCITEM, SYNCITEM_SIGN_OUT, 0);
    // The new sign-in is abandoned, which ends the program.
    EXPECT_EQ(PumpUntilQuit(), 1);
    ::KillTimer(nullptr, timer);
    g_onTick = nullptr;
    EXPECT_EQ(linesDuringSignIn, 0);
    EXPECT_EQ(statusDuringSignIn, L"");
}
