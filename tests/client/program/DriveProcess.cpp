#include "DriveProcess.h"

#include <gtest/gtest.h>

#include "BrelioApp/ResourceIds.h"
#include "StoredSignIn.h"
#include "UpdateFixtures.h"

namespace brelio::test {
namespace {

constexpr wchar_t kFrameClass[] = L"BrelioDrive.MainFrame";

// The first main frame of process `id`, or of any process for 0.
HWND FindFrame(DWORD id) { return FindTopWindow(kFrameClass, id, WindowVisibility::Any); }

}  // namespace

CDriveProcess::CDriveProcess(const std::wstring& arguments, WORD showCommand, const std::wstring& program) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showCommand;
    PROCESS_INFORMATION process = {};
    if (::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &process)) {
        ::CloseHandle(process.hThread);
        m_process = process.hProcess;
        m_id = process.dwProcessId;
    }
}

CDriveProcess::~CDriveProcess() {
    if (m_process == nullptr) return;
    if (::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) ::TerminateProcess(m_process, 99);
    ::CloseHandle(m_process);
}

std::unique_ptr<CDriveProcess> CDriveProcess::FindByFrame(DWORD milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    for (;;) {
        if (const HWND frame = FindFrame(0)) {
            DWORD id = 0;
            ::GetWindowThreadProcessId(frame, &id);
            const HANDLE process =
                ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id);
            if (process == nullptr) return nullptr;
            return std::unique_ptr<CDriveProcess>(new CDriveProcess(process, id));
        }
        if (::GetTickCount64() >= deadline) return nullptr;
        ::Sleep(100);
    }
}

long CDriveProcess::ExitCode(DWORD milliseconds) const {
    if (::WaitForSingleObject(m_process, milliseconds) != WAIT_OBJECT_0) return -1000;
    DWORD code = 0;
    ::GetExitCodeProcess(m_process, &code);
    return static_cast<long>(code);
}

HWND CDriveProcess::Frame(DWORD milliseconds) const {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    for (;;) {
        if (const HWND found = FindFrame(m_id)) return found;
        if (::GetTickCount64() >= deadline || ::WaitForSingleObject(m_process, 0) == WAIT_OBJECT_0) return nullptr;
        ::Sleep(100);
    }
}

void CDriveProcess::Exit() const {
    if (const HWND frame = Frame(0)) ::PostMessageW(frame, WM_COMMAND, ID_APP_EXIT, 0);
}

std::wstring CDriveProcess::ImagePath() const {
    wchar_t path[MAX_PATH + 1] = L"";
    DWORD length = MAX_PATH + 1;
    if (!::QueryFullProcessImageNameW(m_process, 0, path, &length)) return {};
    return std::wstring(path, length);
}

std::wstring InstallationFolder(const CTempFolder& scratch) { return scratch / L"\uC124\uCE58 \u00FC"; }

std::wstring InstallProgram(const CTempFolder& scratch) {
    const std::wstring folder = InstallationFolder(scratch);
    EXPECT_TRUE(CopyTree(FixturePath(L"program\\installed"), folder));
    return folder + L"\\BrelioDrive.exe";
}

}  // namespace brelio::test
