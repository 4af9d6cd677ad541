#pragma once
#include <windows.h>

// The error vocabulary at the edges of a module.
//
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
// Neither throws: a line that cannot be made is lost.
void LogFailure(HRESULT result, const char* expression, const char* file, int line) noexcept;
void LogFailureText(const wchar_t* format, ...) noexcept;

template <typename... Args>
void LogFailure(HRESULT result, const char*, const char*, int, const wchar_t* format, Args... args) noexcept {
    LogFailureText(format, args..., static_cast<unsigned>(result));
}

// The body of an entry that another module calls: an exported function or
// a method of a COM object of ours. Nothing thrown may cross into that
// caller, which cannot catch it: what would escape ends here as `failure`
// (E_UNEXPECTED, or the entry's own named failure), with one log line.
//   return brelio::GuardEntry(__func__, E_UNEXPECTED, [&] { return Work(); });
template <typename Result, typename Body>
Result GuardEntry(const char* entry, Result failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        LogFailureText(L"%hs ended by an exception(0x%x).", entry, static_cast<unsigned>(failure));
        return failure;
    }
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
