// settings_file_holder <path> <milliseconds> <ready event name>
// Opens the file without sharing, signals the event, holds the file for the
// given time and closes it.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

int main() {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 4) return 2;
    HANDLE file = ::CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    if (ready == nullptr) return 4;
    ::SetEvent(ready);
    ::CloseHandle(ready);
    ::Sleep(static_cast<DWORD>(wcstoul(argv[2], nullptr, 10)));
    ::CloseHandle(file);
    ::LocalFree(argv);
    return 0;
}
