#pragma once
#include <cstdarg>
#include <string>

namespace brelio {

// Wide printf into a string, with Windows' meaning of the conversions
// (%s wide, %hs narrow, %llu 64-bit). Returns false when formatting failed;
// the output is then empty.
bool FormatWideV(std::wstring& out, const wchar_t* format, va_list args);
bool FormatWide(std::wstring& out, const wchar_t* format, ...);

}  // namespace brelio
