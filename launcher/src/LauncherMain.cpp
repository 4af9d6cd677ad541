// BrelioLauncher <library> <export>
// Loads the named library from the launcher's own folder, calls the named
// export without arguments and ends with its int result. It does nothing
// else: the library does the work and tells the user.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <string>

#include "BrelioCore/UniqueHandle.h"

namespace {

using Export = int (*)();

// A plain file name: the library must come from beside the launcher, never
// from a path that the command line points elsewhere.
bool IsPlainFileName(const wchar_t* name) {
    return name != nullptr && *name != L'\0' && wcspbrk(name, L"\\/:") == nullptr && wcscmp(name, L".") != 0 &&
           wcscmp(name, L"..") != 0;
}

std::string Narrow(const wchar_t* text) {
    std::string narrow;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p > 0x7E || *p < 0x20) return {};
        narrow += static_cast<char>(*p);
    }
    return narrow;
}

int Run(int argc, wchar_t** argv) {
    if (argc != 3 || !IsPlainFileName(argv[1])) return ERROR_BAD_ARGUMENTS;
    const std::string exportName = Narrow(argv[2]);
    if (exportName.empty()) return ERROR_BAD_ARGUMENTS;

    wchar_t path[MAX_PATH + 1] = L"";
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH || !::PathRemoveFileSpecW(path)) return ERROR_BAD_PATHNAME;
    if (!::PathAppendW(path, argv[1])) return ERROR_BAD_PATHNAME;

    const brelio::UniqueModule library(::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!library) return ERROR_MOD_NOT_FOUND;
    const auto call = reinterpret_cast<Export>(reinterpret_cast<void*>(::GetProcAddress(library.Get(), exportName.c_str())));
    return call ? call() : ERROR_PROC_NOT_FOUND;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    const brelio::UniqueLocalMemory<wchar_t*> argv(::CommandLineToArgvW(::GetCommandLineW(), &argc));
    if (!argv) return ERROR_BAD_ARGUMENTS;
    return Run(argc, argv.Get());
}
