// BrelioDrive.exe itself, started as a person or the system starts it: its
// command line, the single-instance rule, its exit codes and what it
// leaves in the registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "BrelioServices/NavigationPane.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioSync/SyncItem.h"
#include "DriveProcess.h"
#include "StandinRelease.h"
#include "StandinTest.h"
#include "StoredSignIn.h"

using namespace brelio::test;

namespace {

class Program : public StandinTest {
protected:
    void SetUp() override {
        StandinTest::SetUp();
        StoreSignIn(m_account, m_folder.Path());
    }
    void TearDown() override {
        RemoveSettings();
        StandinTest::TearDown();
    }
};

// The visible window of `className` that process `id` shows, waiting for
// it; null when none comes.
HWND WaitForVisibleWindow(const wchar_t* className, DWORD id, DWORD milliseconds = kProgramWait) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    for (;;) {
        for (HWND window = ::FindWindowExW(nullptr, nullptr, className, nullptr); window != nullptr;
             window = ::FindWindowExW(nullptr, window, className, nullptr)) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == id && ::IsWindowVisible(window)) return window;
        }
        if (::GetTickCount64() >= deadline) return nullptr;
        ::Sleep(100);
    }
}

}  // namespace

TEST_F(Program, TheTestSwitchEndsAtOnceInAnyCase) {
    for (const wchar_t* argument : {L"-TEST", L"-test", L"-TeSt"}) {
        SCOPED_TRACE(testing::Message() << argument);
        CDriveProcess program(argument);
        ASSERT_TRUE(program.Started());
        EXPECT_EQ(program.ExitCode(), 0);
    }
}

TEST_F(Program, TheCleanupSwitchRemovesTheNavigationPaneEntry) {
    ASSERT_EQ(RegisterNavigationPane(true), S_OK);
    const std::wstring key = std::wstring(L"Software\\Classes\\CLSID\\") + kNavigationPaneClsid;
    HKEY opened = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened), ERROR_SUCCESS);
    ::RegCloseKey(opened);
    CDriveProcess program(L"-CLEANUP");
    EXPECT_EQ(program.ExitCode(), 0);
    EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened), ERROR_FILE_NOT_FOUND);
}

// A second start without arguments brings the running copy's hidden window
// to the front and ends, without asking the update host anything; any
// other first argument runs a copy beside it. The copies run from an
// installation, where the update library is at hand: a check would reach
// the update host.
TEST_F(Program, ASecondStartFrontsTheFirstWithoutAnUpdateCheckAndAnArgumentRunsAnother) {
    CTempFolder scratch;
    ASSERT_TRUE(scratch.Create());
    const std::wstring installed = InstallProgram(scratch);
    ClearRelease();
    CDriveProcess first(L"first", SW_HIDE, installed);
    const HWND firstFrame = first.Frame();
    ASSERT_NE(firstFrame, nullptr);
    EXPECT_FALSE(::IsWindowVisible(firstFrame));

    ClearUpdateHostRequests();
    CDriveProcess again(L"", SW_HIDE, installed);
    EXPECT_EQ(again.ExitCode(), 0);
    EXPECT_TRUE(::IsWindowVisible(firstFrame));
    EXPECT_EQ(UpdateHostRequests().size(), 0u) << UpdateHostRequests().toStyledString();

    CDriveProcess beside(L"C:\\some\\file.txt", SW_HIDE, installed);
    const HWND besideFrame = beside.Frame();
    ASSERT_NE(besideFrame, nullptr);
    EXPECT_NE(besideFrame, firstFrame);

    beside.Exit();
    first.Exit();
    EXPECT_EQ(beside.ExitCode(), 1);
    EXPECT_EQ(first.ExitCode(), 1);
}

TEST_F(Program, AFirstRunWhoseTenantWindowIsClosedEndsWithMinusOneAndStaysAFirstRun) {
    StoreSignIn(m_account, m_folder.Path(), {.autoLogin = true, .firstRun = true, .withSession = true});
    {
        // Gone before the next start, whose window is the next closer's.
        CWindowCloser tenantWindow(L"BrelioDrive.TenantWnd");
        CDriveProcess program(L"run");
        EXPECT_EQ(program.ExitCode(), -1);
        EXPECT_EQ(tenantWindow.Closed(), 1);
    }
    EXPECT_EQ(ReadSettingNumber(kFirstRunValue), 1);
    // The next start is a first run again.
    CWindowCloser nextTenantWindow(L"BrelioDrive.TenantWnd");
    CDriveProcess next(L"run");
    EXPECT_EQ(next.ExitCode(), -1);
    EXPECT_EQ(nextTenantWindow.Closed(), 1);
}

// While a sign-out waits for the new sign-in, the frame is hidden and
// disabled under the tenant window. A second start fronts the tenant
// window, the one the user can act on, and leaves the frame hidden.
TEST_F(Program, ASecondStartDuringTheNewSignInFrontsTheTenantWindowAndLeavesTheFrameHidden) {
    CDriveProcess first(L"first", SW_SHOWNORMAL);
    const HWND frame = first.Frame();
    ASSERT_NE(frame, nullptr);
    // What the options window's log-out button asks of the frame.
    ASSERT_TRUE(::PostMessageW(frame, WM_SYNCITEM, SYNCITEM_SIGN_OUT, 0));
    const HWND tenant = WaitForVisibleWindow(L"BrelioDrive.TenantWnd", first.Id());
    ASSERT_NE(tenant, nullptr);
    // The tenant window shows first, then disables its owner for its loop.
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindowEnabled(frame); }));
    EXPECT_FALSE(::IsWindowVisible(frame));

    CDriveProcess again(L"", SW_SHOWNORMAL);
    EXPECT_EQ(again.ExitCode(), 0);
    EXPECT_FALSE(::IsWindowVisible(frame));
    EXPECT_TRUE(::IsWindowVisible(tenant));
    EXPECT_EQ(::GetForegroundWindow(), tenant);

    // The new sign-in is abandoned: the program ends as after Exit.
    ::PostMessageW(tenant, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.ExitCode(), 1);
}
