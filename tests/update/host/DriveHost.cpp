// update_drive_host: stands where BrelioDrive calls its update library,
// until the program's own switches exist. Copied as BrelioDrive.exe into
// installations and cabinets.
//   (no arguments)               the start after an update: reports "start"
//   -CheckUpdate <mode> [event]  stage 1; with an event name it ends only
//                                once that event is set, as a slow exit would,
//                                and reports "exit" when it has lived so long
//   -ApplyUpdate <folder>        stage 2
//   (any other argument)         a start without the checks, as BrelioDrive
//                                makes it: reports "run"
// Each run appends one line to the file named by BRELIO_UPDATE_REPORT:
// "<role> 0x<result> <1 when BrelioUpdate.dll is still loaded, else 0>".
// The exit code is the result.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "BrelioApp/UpdateLibrary.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"

namespace {

void Report(const wchar_t* role, int result) {
    wchar_t path[MAX_PATH + 1] = L"";
    const DWORD length = ::GetEnvironmentVariableW(L"BRELIO_UPDATE_REPORT", path, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) return;
    const bool loaded = ::GetModuleHandleW(L"BrelioUpdate.dll") != nullptr;
    wchar_t line[128] = L"";
    std::swprintf(line, 128, L"%ls 0x%08x %d\r\n", role, static_cast<unsigned>(result), loaded ? 1 : 0);
    const std::string bytes = brelio::WideToUtf8(line);
    const brelio::UniqueKernelHandle file(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

int Run(int argc, wchar_t** argv) {
    if (argc == 1) {
        Report(L"start", 0);
        return 0;
    }
    if (argc >= 3 && wcscmp(argv[1], L"-CheckUpdate") == 0) {
        const int result = RunCheckUpdate(static_cast<int>(wcstol(argv[2], nullptr, 10)));
        Report(L"check", result);
        if (argc >= 4) {
            const brelio::UniqueKernelHandle release(::OpenEventW(SYNCHRONIZE, FALSE, argv[3]));
            if (release) ::WaitForSingleObject(release.Get(), 120000);
            Report(L"exit", result);
        }
        return result;
    }
    if (argc == 3 && _wcsicmp(argv[1], L"-ApplyUpdate") == 0) {
        const int result = RunApplyUpdate(argv[2]);
        Report(L"apply", result);
        return result;
    }
    Report(L"run", 0);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    const brelio::UniqueLocalMemory<wchar_t*> argv(::CommandLineToArgvW(::GetCommandLineW(), &argc));
    if (!argv) return ERROR_BAD_ARGUMENTS;
    return Run(argc, argv.Get());
}
