// update_file_holder <path> <ready event> <release event>
// Another process that keeps a file open without sharing (as Explorer or a
// virus scanner would) until the test sets the release event.
#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 4) return 2;
    HANDLE file = ::CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
    if (ready == nullptr || release == nullptr) return 4;
    ::SetEvent(ready);
    ::WaitForSingleObject(release, 300000);
    ::CloseHandle(file);
    ::CloseHandle(ready);
    ::CloseHandle(release);
    ::LocalFree(argv);
    return 0;
}
