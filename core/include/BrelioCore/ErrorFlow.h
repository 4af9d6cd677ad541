#pragma once
#include <windows.h>

// "Return if failed", said once where the failure happens: a failed result
// writes one log line and leaves the function with that result.
//
//   BRELIO_RETURN_IF_FAILED(Open(path));
//       "Open(path) failed(0x80070002) at Reader.cpp(42)."
//   BRELIO_RETURN_IF_FAILED(hr = GetFiles(...), L"%s - no listing(0x%x).", path);
//       the caller's own text; the result fills its last conversion.
//
// The expression is evaluated once. Core has no log of its own: the log
// writer of the module hands its line writer over when logging is switched
// on; without one nothing is written.
namespace brelio {

using FailureLineWriter = void (*)(const wchar_t* line);
// Set once during start-up, before other threads run; nullptr writes nothing.
void SetFailureLineWriter(FailureLineWriter writer);

// The line of a failed expression, or the caller's text (a wide printf
// format whose last conversion is the result's %x, and its arguments).
void LogFailure(HRESULT result, const char* expression, const char* file, int line);
void LogFailureText(const wchar_t* format, ...);

template <typename... Args>
void LogFailure(HRESULT result, const char*, const char*, int, const wchar_t* format, Args... args) {
    LogFailureText(format, args..., static_cast<unsigned>(result));
}

}  // namespace brelio

#define BRELIO_RETURN_IF_FAILED(expression, ...)                                                                   \
    do {                                                                                                           \
        const HRESULT brelioFailed_ = (expression);                                                                \
        if (FAILED(brelioFailed_)) {                                                                               \
            ::brelio::LogFailure(brelioFailed_, #expression, __FILE_NAME__, __LINE__ __VA_OPT__(, ) __VA_ARGS__); \
            return brelioFailed_;                                                                                  \
        }                                                                                                          \
    } while (false)
