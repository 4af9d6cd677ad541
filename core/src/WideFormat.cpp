#include "BrelioCore/WideFormat.h"

#include <cstdio>
#include <cwchar>

namespace brelio {

bool FormatWideV(std::wstring& out, const wchar_t* format, va_list args) {
    out.clear();
    if (format == nullptr) return false;
    size_t room = 256;
    for (int attempt = 0; attempt < 16; ++attempt) {
        out.assign(room, L'\0');
        va_list copy;
        va_copy(copy, args);
        // _vsnwprintf returns -1 when the output does not fit.
        const int written = ::_vsnwprintf(out.data(), room, format, copy);
        va_end(copy);
        if (written >= 0 && static_cast<size_t>(written) < room) {
            out.resize(static_cast<size_t>(written));
            return true;
        }
        room *= 2;
    }
    out.clear();
    return false;
}

bool FormatWide(std::wstring& out, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const bool ok = FormatWideV(out, format, args);
    va_end(args);
    return ok;
}

}  // namespace brelio
