#include "ChildProcess.h"

#include <atomic>

namespace brelio::test {

std::wstring UniqueName(const wchar_t* prefix) {
    static std::atomic<unsigned> counter{0};
    return std::wstring(prefix) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter++);
}

bool CChildProcess::Start(const std::vector<std::wstring>& arguments) {
    wchar_t self[MAX_PATH + 1] = {};
    if (::GetModuleFileNameW(nullptr, self, MAX_PATH + 1) == 0) return false;
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --child";
    for (const std::wstring& argument : arguments) commandLine += L" \"" + argument + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return false;
    UniqueKernelHandle thread(process.hThread);
    m_process.Reset(process.hProcess);
    return true;
}

int CChildProcess::Wait(DWORD milliseconds) {
    if (!m_process || ::WaitForSingleObject(m_process.Get(), milliseconds) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.Get(), &code);
    return static_cast<int>(code);
}

void CChildProcess::Kill() {
    if (!m_process) return;
    ::TerminateProcess(m_process.Get(), 99);
    ::WaitForSingleObject(m_process.Get(), INFINITE);
}

CNamedEvent::CNamedEvent() : m_name(UniqueName(L"BrelioStorageTestEvent")) {
    m_event.Reset(::CreateEventW(nullptr, TRUE, FALSE, m_name.c_str()));
}

bool CNamedEvent::Wait(DWORD milliseconds) const {
    return ::WaitForSingleObject(m_event.Get(), milliseconds) == WAIT_OBJECT_0;
}

void CNamedEvent::Set() const { ::SetEvent(m_event.Get()); }

}  // namespace brelio::test
