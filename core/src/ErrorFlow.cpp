#include "BrelioCore/ErrorFlow.h"

#include <cstdarg>
#include <string>

#include "BrelioCore/WideFormat.h"

namespace brelio {

namespace {

FailureLineWriter g_writer = nullptr;

}  // namespace

void SetFailureLineWriter(FailureLineWriter writer) { g_writer = writer; }

void LogFailure(HRESULT result, const char* expression, const char* file, int line) noexcept {
    LogFailureText(L"%hs failed(0x%x) at %hs(%d).", expression, static_cast<unsigned>(result), file, line);
}

void LogFailureText(const wchar_t* format, ...) noexcept {
    if (g_writer == nullptr) return;
    va_list args;
    va_start(args, format);
    try {
        std::wstring text;
        if (FormatWideV(text, format, args)) g_writer(text.c_str());
    } catch (...) {
        // No memory for the line: it is lost, and the caller goes on.
    }
    va_end(args);
}

}  // namespace brelio
