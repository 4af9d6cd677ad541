// update_file_holder <path> <ready event> <release event>
// Another process that keeps a file open without sharing (as Explorer or a
// virus scanner would) until the test sets the release event.
#include <windows.h>
#include <shellapi.h>

#include "BrelioCore/UniqueHandle.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    const brelio::UniqueLocalMemory<wchar_t*> argv(::CommandLineToArgvW(::GetCommandLineW(), &argc));
    if (!argv || argc != 4) return 2;
    const brelio::UniqueKernelHandle file(
        ::CreateFileW(argv.Get()[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 3;
    const brelio::UniqueKernelHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv.Get()[2]));
    const brelio::UniqueKernelHandle release(::OpenEventW(SYNCHRONIZE, FALSE, argv.Get()[3]));
    if (!ready || !release) return 4;
    ::SetEvent(ready.Get());
    ::WaitForSingleObject(release.Get(), 300000);
    return 0;
}
