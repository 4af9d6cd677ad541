#pragma once
#include <string>
#include <string_view>

namespace brelio {

// The one place where text changes encoding. Every result is a complete,
// terminated string; a conversion that Windows rejects gives an empty one.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// The thread's ANSI code page; characters outside it become its default
// replacement character.
std::string WideToAnsi(std::wstring_view text);

// Copies at most `capacity - 1` characters of `text` into `buffer` and always
// terminates it. A cut never splits a surrogate pair. Returns false when
// the text had to be cut.
bool CopyTerminated(wchar_t* buffer, size_t capacity, std::wstring_view text);

}  // namespace brelio
