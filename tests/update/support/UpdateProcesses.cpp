#include "UpdateProcesses.h"

#include <shlwapi.h>

#include <atomic>

#include "TempFolder.h"

namespace brelio::test {

bool CProgram::Start(const std::wstring& path, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + path + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info))
        return false;
    const UniqueKernelHandle thread(info.hThread);
    m_process.Reset(info.hProcess);
    return true;
}

DWORD CProgram::Wait(DWORD timeoutMs) {
    if (!m_process || ::WaitForSingleObject(m_process.Get(), timeoutMs) != WAIT_OBJECT_0) return static_cast<DWORD>(-1);
    DWORD code = static_cast<DWORD>(-1);
    ::GetExitCodeProcess(m_process.Get(), &code);
    return code;
}

DWORD RunProgram(const std::wstring& path, const std::wstring& arguments, DWORD timeoutMs) {
    CProgram program;
    if (!program.Start(path, arguments)) return static_cast<DWORD>(-1);
    return program.Wait(timeoutMs);
}

CReport::CReport(const std::wstring& path) : m_path(path) {
    ::DeleteFileW(m_path.c_str());
    ::SetEnvironmentVariableW(L"BRELIO_UPDATE_REPORT", m_path.c_str());
}

CReport::~CReport() { ::SetEnvironmentVariableW(L"BRELIO_UPDATE_REPORT", nullptr); }

std::vector<std::string> CReport::Lines() const {
    std::vector<std::string> lines;
    const std::string text = ReadFileBytes(m_path);
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::string CReport::WaitForLine(const std::string& prefix, DWORD timeoutMs) const {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        for (const std::string& line : Lines()) {
            if (line.rfind(prefix, 0) == 0) return line;
        }
        if (::GetTickCount64() > deadline) return {};
        ::Sleep(50);
    }
}

CLogWatch::CLogWatch() {
    wchar_t temp[MAX_PATH + 1] = L"";
    ::GetTempPathW(MAX_PATH + 1, temp);
    m_path = std::wstring(temp) + L"BrelioDrive.log";
    m_start = ReadFileBytes(m_path).size();
}

std::string CLogWatch::NewText() const {
    const std::string text = ReadFileBytes(m_path);
    return text.size() > m_start ? text.substr(m_start) : std::string();
}

bool CLogWatch::WaitFor(const std::string& text, DWORD timeoutMs) const {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (NewText().find(text) == std::string::npos) {
        if (::GetTickCount64() > deadline) return false;
        ::Sleep(50);
    }
    return true;
}

CFileHolder::~CFileHolder() { Release(); }

bool CFileHolder::Hold(const std::wstring& path, const std::wstring& program) {
    m_readyName = UniqueEventName(L"BrelioHolderReady");
    m_releaseName = UniqueEventName(L"BrelioHolderRelease");
    m_ready.Reset(::CreateEventW(nullptr, TRUE, FALSE, m_readyName.c_str()));
    m_release.Reset(::CreateEventW(nullptr, TRUE, FALSE, m_releaseName.c_str()));
    if (!m_ready || !m_release) return false;
    if (!m_program.Start(program.empty() ? TestProgramPath(L"update_file_holder.exe") : program,
                         L"\"" + path + L"\" " + m_readyName + L" " + m_releaseName))
        return false;
    m_holding = ::WaitForSingleObject(m_ready.Get(), 60000) == WAIT_OBJECT_0;
    return m_holding;
}

bool CFileHolder::Release() {
    if (!m_holding) return true;
    m_holding = false;
    ::SetEvent(m_release.Get());
    return m_program.Wait(60000) == 0;
}

std::wstring TestProgramPath(const wchar_t* fileName) {
    wchar_t path[MAX_PATH + 1] = L"";
    ::GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    ::PathRemoveFileSpecW(path);
    ::PathAppendW(path, fileName);
    return path;
}

std::wstring UniqueEventName(const wchar_t* prefix) {
    static std::atomic<unsigned> counter{0};
    return std::wstring(prefix) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter++);
}

}  // namespace brelio::test
