// update_exit_with: stands in for BrelioLauncher where a test needs a
// given exit code. Copied as BrelioLauncher.exe into a work directory, it
// appends "launcher <its arguments>" to the file named by
// BRELIO_UPDATE_REPORT and ends with the hexadecimal code written in
// "exit-code.txt" beside it.
#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"

namespace {

void Report(const std::wstring& text) {
    wchar_t path[MAX_PATH + 1] = L"";
    const DWORD length = ::GetEnvironmentVariableW(L"BRELIO_UPDATE_REPORT", path, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) return;
    const std::string bytes = brelio::WideToUtf8(text + L"\r\n");
    const brelio::UniqueKernelHandle file(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    Report(std::wstring(L"launcher ") + arguments);
    wchar_t path[MAX_PATH + 1] = L"";
    if (::GetModuleFileNameW(nullptr, path, MAX_PATH + 1) == 0 || !::PathRemoveFileSpecW(path) ||
        !::PathAppendW(path, L"exit-code.txt"))
        return ERROR_BAD_PATHNAME;
    FILE* file = _wfopen(path, L"rb");
    if (file == nullptr) return ERROR_FILE_NOT_FOUND;
    char text[32] = {};
    const size_t read = std::fread(text, 1, sizeof(text) - 1, file);
    std::fclose(file);
    text[read] = '\0';
    return static_cast<int>(std::strtoul(text, nullptr, 16));
}
