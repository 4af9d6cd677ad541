#include "ExtensionLog.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioCore/WideFormat.h"

namespace {

constexpr wchar_t kLogFileName[] = L"BrelioDrive.log";

std::atomic<bool> g_logOn{false};

std::string LogLine(const char* text) {
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    char prefix[64] = {};
    const int length = std::snprintf(prefix, sizeof(prefix), "%04u-%02u-%02u %02u:%02u:%02u(0x%lx)\t", now.wYear,
                                     now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                                     static_cast<unsigned long>(::GetCurrentThreadId()));
    if (length <= 0 || static_cast<size_t>(length) >= sizeof(prefix)) return {};
    return std::string(prefix, static_cast<size_t>(length)) + text + "\r\n";
}

}  // namespace

bool IsExtensionLogOn() { return g_logOn.load(); }

void SwitchExtensionLogOn() { g_logOn.store(true); }

void WriteExtensionLog(const char* text) {
    wchar_t path[MAX_PATH + 1] = L"";
    const DWORD folderLength = ::GetTempPathW(MAX_PATH + 1, path);
    if (folderLength == 0 || folderLength > MAX_PATH) return;
    if (folderLength + wcslen(kLogFileName) > MAX_PATH) return;
    wcscat(path, kLogFileName);
    const std::string line = LogLine(text);
    if (line.empty()) return;
    brelio::UniqueKernelHandle file(::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    LARGE_INTEGER end = {};
    if (!::SetFilePointerEx(file.Get(), end, nullptr, FILE_END)) return;
    DWORD written = 0;
    ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void LogExtension(const wchar_t* format, ...) {
    if (!IsExtensionLogOn()) return;
    va_list args;
    va_start(args, format);
    std::wstring text;
    const bool formatted = brelio::FormatWideV(text, format, args);
    va_end(args);
    if (!formatted) return;
    WriteExtensionLog(brelio::WideToAnsi(text).c_str());
}
