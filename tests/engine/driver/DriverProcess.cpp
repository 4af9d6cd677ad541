#include "DriverProcess.h"

#include <algorithm>
#include <sstream>

namespace brelio::test {

namespace {

std::wstring DriverPath() {
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    folder.resize(folder.find_last_of(L'\\'));
    return folder + L"\\brelio_engine_driver.exe";
}

constexpr DWORD kPollMs = 20;

}  // namespace

CDriverProcess::~CDriverProcess() {
    if (IsRunning()) Kill();
}

bool CDriverProcess::Start() {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
    if (!::CreatePipe(&inRead, &inWrite, &inherit, 0)) return false;
    UniqueKernelHandle childIn(inRead), toChild(inWrite);
    if (!::CreatePipe(&outRead, &outWrite, &inherit, 0)) return false;
    UniqueKernelHandle fromChild(outRead), childOut(outWrite);
    ::SetHandleInformation(toChild.Get(), HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(fromChild.Get(), HANDLE_FLAG_INHERIT, 0);

    const std::wstring program = DriverPath();
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn.Get();
    startup.hStdOutput = childOut.Get();
    startup.hStdError = childOut.Get();
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &info))
        return false;
    m_process.Reset(info.hProcess);
    const brelio::UniqueKernelHandle thread(info.hThread);
    m_toChild = std::move(toChild);
    m_fromChild = std::move(fromChild);
    return true;
}

bool CDriverProcess::Send(const std::string& commands) {
    if (!m_toChild) return false;
    DWORD written = 0;
    return ::WriteFile(m_toChild.Get(), commands.data(), static_cast<DWORD>(commands.size()), &written, nullptr) &&
           written == commands.size();
}

bool CDriverProcess::IsRunning() const {
    return m_process && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT;
}

bool CDriverProcess::ReadAvailable() {
    if (!m_fromChild) return false;
    DWORD available = 0;
    if (!::PeekNamedPipe(m_fromChild.Get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) return false;
    char buffer[4096];
    DWORD got = 0;
    if (!::ReadFile(m_fromChild.Get(), buffer, sizeof(buffer), &got, nullptr) || got == 0) return false;
    m_pending.append(buffer, got);
    ParseLines(false);
    return true;
}

void CDriverProcess::ParseLines(bool all) {
    Json::CharReaderBuilder builder;
    size_t start = 0;
    for (;;) {
        size_t end = m_pending.find('\n', start);
        if (end == std::string::npos) {
            if (!all || start >= m_pending.size()) break;
            end = m_pending.size();
        }
        std::string line = m_pending.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        Json::Value value;
        std::string errors;
        std::istringstream lineStream(line);
        if (Json::parseFromStream(builder, lineStream, &value, &errors))
            m_lines.push_back(value);
        else
            m_lines.push_back(Json::Value("unparsed: " + line));
    }
    m_pending.erase(0, std::min(start, m_pending.size()));
}

bool CDriverProcess::WaitForLine(const std::function<bool(const Json::Value&)>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        for (; m_nextToMatch < m_lines.size(); ++m_nextToMatch) {
            if (condition(m_lines[m_nextToMatch])) {
                ++m_nextToMatch;
                return true;
            }
        }
        if (ReadAvailable()) continue;
        if (!IsRunning() || ::GetTickCount64() > deadline) return false;
        ::WaitForSingleObject(m_process.Get(), kPollMs);
    }
}

void CDriverProcess::Collect(DWORD milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    for (;;) {
        while (ReadAvailable()) {
        }
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return;
        const ULONGLONG left = deadline - now;
        ::Sleep(static_cast<DWORD>(left < kPollMs ? left : kPollMs));
    }
}

void CDriverProcess::Kill() {
    if (!m_process) return;
    ::TerminateProcess(m_process.Get(), 1);
    ::WaitForSingleObject(m_process.Get(), INFINITE);
    while (ReadAvailable()) {
    }
    ParseLines(true);
    m_toChild.Reset();
    m_fromChild.Reset();
}

bool CDriverProcess::Finish(DWORD timeoutMs) {
    m_toChild.Reset();
    // Read until the driver has ended and its output is drained: under Wine
    // the pipe's end of file can lag behind the process.
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    bool ended = false;
    for (;;) {
        if (ReadAvailable()) continue;
        if (ended) break;
        if (::GetTickCount64() > deadline) {
            Kill();
            return false;
        }
        ended = ::WaitForSingleObject(m_process.Get(), kPollMs) == WAIT_OBJECT_0;
    }
    ParseLines(true);
    m_fromChild.Reset();
    return true;
}

std::vector<Json::Value> RunEngineDriver(const std::string& commands, unsigned long timeoutMs) {
    CDriverProcess driver;
    if (!driver.Start()) return {};
    driver.Send(commands);
    if (!driver.Finish(timeoutMs)) return {};
    return driver.Lines();
}

}  // namespace brelio::test
