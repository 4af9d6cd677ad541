#include "BrelioServices/Log.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "BrelioCore/ErrorFlow.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioCore/WideFormat.h"

using brelio::UniqueKernelHandle;

namespace {

constexpr size_t kLogPathCapacity = MAX_PATH + 1;
constexpr size_t kMessageCapacity = 4096;
// Another writer (a second thread, BrelioUpdate, the shell extension) may
// hold the file for a moment; each of them keeps it only for one append.
constexpr int kOpenAttempts = 8;
constexpr DWORD kSharingPauseMs = 400;

bool g_enabled = false;
wchar_t g_path[kLogPathCapacity] = {};

std::string LocalTimeText() {
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    char text[32] = {};
    const int length = std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth,
                                      now.wDay, now.wHour, now.wMinute, now.wSecond);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof(text)) return {};
    return std::string(text, static_cast<size_t>(length));
}

std::string ThreadIdText() {
    char digits[16] = {};
    const auto [end, error] = std::to_chars(std::begin(digits), std::end(digits), ::GetCurrentThreadId(), 16);
    if (error != std::errc()) return {};
    return std::string(digits, end);
}

UniqueKernelHandle OpenLogFile() {
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        UniqueKernelHandle file(::CreateFileW(g_path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) return file;
        if (::GetLastError() != ERROR_SHARING_VIOLATION) break;
        ::Sleep(kSharingPauseMs);
    }
    return {};
}

}  // namespace

void SetLogEnabled(bool enabled) {
    g_enabled = enabled;
    // The lines of BRELIO_RETURN_IF_FAILED go to this log as well.
    brelio::SetFailureLineWriter(enabled ? WriteLogW : nullptr);
}

void SetLogPath(const wchar_t* path) { brelio::CopyTerminated(g_path, kLogPathCapacity, path ? path : L""); }

void WriteLog(const char* message) {
    if (!g_enabled) return;
    std::string line = LocalTimeText();
    line += "(0x";
    line += ThreadIdText();
    line += ") ";
    line += message ? message : "";
    line += "\r\n";

    UniqueKernelHandle file = OpenLogFile();
    if (!file) return;
    // A failed move or write loses only this line; the caller goes on.
    ::SetFilePointer(file.Get(), 0, nullptr, FILE_END);
    DWORD written = 0;
    ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void WriteLogW(const wchar_t* message) {
    if (!g_enabled) return;
    const std::string text = brelio::WideToAnsi(message ? message : L"");
    WriteLog(text.c_str());
}

void Log(const wchar_t* format, ...) {
    if (!g_enabled) return;
    std::wstring formatted;
    va_list args;
    va_start(args, format);
    const bool ok = brelio::FormatWideV(formatted, format, args);
    va_end(args);
    if (!ok) return;
    // A longer text is cut to the buffer rather than lost or overrun.
    wchar_t message[kMessageCapacity];
    brelio::CopyTerminated(message, kMessageCapacity, formatted);
    WriteLogW(message);
}
