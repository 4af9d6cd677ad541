#include "BrelioUpdate/ProgramExitWait.h"

#include <tlhelp32.h>

#include <vector>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/Log.h"

using brelio::UniqueKernelHandle;

namespace {

bool SamePath(const std::wstring& a, const wchar_t* b, DWORD length) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, static_cast<int>(length), TRUE) ==
           CSTR_EQUAL;
}

// Handles of the processes that run the program now; processes that
// cannot be opened are not ours to wait for.
std::vector<UniqueKernelHandle> FindRunning(const std::wstring& programPath) {
    std::vector<UniqueKernelHandle> running;
    UniqueKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return running;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    const DWORD self = ::GetCurrentProcessId();
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == self) continue;
        UniqueKernelHandle process(
            ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        if (!process) continue;
        wchar_t image[MAX_PATH + 1] = L"";
        DWORD length = MAX_PATH + 1;
        if (!::QueryFullProcessImageNameW(process.Get(), 0, image, &length)) continue;
        if (SamePath(programPath, image, length)) running.push_back(std::move(process));
    }
    return running;
}

}  // namespace

HRESULT WaitForProgramExit(const std::wstring& programPath, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    std::vector<UniqueKernelHandle> running = FindRunning(programPath);
    if (!running.empty()) Log(L"Waiting for %s to exit.", programPath.c_str());
    for (UniqueKernelHandle& process : running) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        if (::WaitForSingleObject(process.Get(), left) != WAIT_OBJECT_0) return HRESULT_FROM_WIN32(WAIT_TIMEOUT);
    }
    return S_OK;
}
