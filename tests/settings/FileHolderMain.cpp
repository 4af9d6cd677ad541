// settings_file_holder <path> <milliseconds> <ready event name>
// Opens the file without sharing, signals the event, holds the file for the
// given time and closes it.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "BrelioCore/UniqueHandle.h"
int main() {
    int argc = 0;
    brelio::UniqueLocalMemory<LPWSTR> arguments(::CommandLineToArgvW(::GetCommandLineW(), &argc));
    LPWSTR* argv = arguments.Get();
    if (argv == nullptr || argc != 4) return 2;
    brelio::UniqueKernelHandle file(
        ::CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return 3;
    brelio::UniqueKernelHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]));
    if (!ready) return 4;
    ::SetEvent(ready.Get());
    ready.Reset();
    ::Sleep(static_cast<DWORD>(wcstoul(argv[2], nullptr, 10)));
    return 0;
}
