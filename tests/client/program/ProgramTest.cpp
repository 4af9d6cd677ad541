// BrelioDrive.exe itself, started as a person or the system starts it: its
// command line, the single-instance rule, its exit codes and what it
// leaves in the registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "BrelioApp/ResourceIds.h"
#include "BrelioServices/NavigationPane.h"
#include "BrelioServices/RegistryLayout.h"
#include "StandinTest.h"
#include "StoredSignIn.h"

using namespace brelio::test;

namespace {

constexpr DWORD kProgramWait = 60000;

// One run of the program.
class CProgram {
public:
    CProgram(const std::wstring& arguments, WORD showCommand = SW_HIDE) {
        std::wstring commandLine = L"\"" BRELIO_DRIVE_EXE L"\"";
        if (!arguments.empty()) commandLine += L" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = showCommand;
        PROCESS_INFORMATION process = {};
        if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process)) {
            ::CloseHandle(process.hThread);
            m_process = process.hProcess;
            m_id = process.dwProcessId;
        }
    }
    ~CProgram() {
        if (m_process == nullptr) return;
        if (::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) ::TerminateProcess(m_process, 99);
        ::CloseHandle(m_process);
    }
    bool Started() const { return m_process != nullptr; }
    // The exit code, or -1000 when it did not end in time.
    long ExitCode(DWORD milliseconds = kProgramWait) const {
        if (::WaitForSingleObject(m_process, milliseconds) != WAIT_OBJECT_0) return -1000;
        DWORD code = 0;
        ::GetExitCodeProcess(m_process, &code);
        return static_cast<long>(code);
    }
    // Its main frame, waiting for it.
    HWND Frame(DWORD milliseconds = kProgramWait) const {
        const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
        for (;;) {
            struct Search {
                DWORD id;
                HWND found;
            } search{m_id, nullptr};
            ::EnumWindows(
                [](HWND window, LPARAM param) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(param);
                    wchar_t className[64] = L"";
                    ::GetClassNameW(window, className, 64);
                    DWORD owner = 0;
                    ::GetWindowThreadProcessId(window, &owner);
                    if (owner != s->id || wcscmp(className, L"BrelioDrive.MainFrame") != 0) return TRUE;
                    s->found = window;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&search));
            if (search.found != nullptr) return search.found;
            if (::GetTickCount64() >= deadline || ::WaitForSingleObject(m_process, 0) == WAIT_OBJECT_0) return nullptr;
            ::Sleep(100);
        }
    }
    // What the tray menu's Exit does.
    void Exit() const {
        if (const HWND frame = Frame(0)) ::PostMessageW(frame, WM_COMMAND, ID_APP_EXIT, 0);
    }

private:
    HANDLE m_process = nullptr;
    DWORD m_id = 0;
};

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

}  // namespace

TEST_F(Program, TheTestSwitchEndsAtOnceInAnyCase) {
    for (const wchar_t* argument : {L"-TEST", L"-test", L"-TeSt"}) {
        SCOPED_TRACE(testing::Message() << argument);
        CProgram program(argument);
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
    CProgram program(L"-CLEANUP");
    EXPECT_EQ(program.ExitCode(), 0);
    EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened), ERROR_FILE_NOT_FOUND);
}

// A second start without arguments brings the running copy's hidden window
// to the front and ends; any other first argument runs a copy beside it.
TEST_F(Program, ASecondStartFrontsTheFirstAndAnArgumentRunsAnother) {
    CProgram first(L"first");
    const HWND firstFrame = first.Frame();
    ASSERT_NE(firstFrame, nullptr);
    EXPECT_FALSE(::IsWindowVisible(firstFrame));

    CProgram again(L"");
    EXPECT_EQ(again.ExitCode(), 0);
    EXPECT_TRUE(::IsWindowVisible(firstFrame));

    CProgram beside(L"C:\\some\\file.txt");
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
    CWindowCloser tenantWindow(L"BrelioDrive.TenantWnd");
    CProgram program(L"run");
    EXPECT_EQ(program.ExitCode(), -1);
    EXPECT_EQ(tenantWindow.Closed(), 1);
    EXPECT_EQ(ReadSettingNumber(kFirstRunValue), 1);
    // The next start is a first run again.
    CWindowCloser nextTenantWindow(L"BrelioDrive.TenantWnd");
    CProgram next(L"run");
    EXPECT_EQ(next.ExitCode(), -1);
    EXPECT_EQ(nextTenantWindow.Closed(), 1);
}
