#include "BrelioCore/JXUri.h"

#include "BrelioCore/WideFormat.h"

bool CJXUri::AppendFormat(const wchar_t* format, ...) {
    std::wstring piece;
    va_list args;
    va_start(args, format);
    const bool ok = brelio::FormatWideV(piece, format, args);
    va_end(args);
    if (ok) m_text += piece;
    return ok;
}
