#include "BrelioCore/ErrorFlow.h"

#include <cstdarg>
#include <string>

#include "BrelioCore/WideFormat.h"

namespace brelio {

namespace {

FailureLineWriter g_writer = nullptr;

}  // namespace

void SetFailureLineWriter(FailureLineWriter writer) { g_writer = writer; }

void LogFailure(HRESULT result, const char* expression, const char* file, int line) {
    LogFailureText(L"%hs failed(0x%x) at %hs(%d).", expression, static_cast<unsigned>(result), file, line);
}

void LogFailureText(const wchar_t* format, ...) {
    if (g_writer == nullptr) return;
    std::wstring text;
    va_list args;
    va_start(args, format);
    const bool formatted = FormatWideV(text, format, args);
    va_end(args);
    if (formatted) g_writer(text.c_str());
}

}  // namespace brelio
