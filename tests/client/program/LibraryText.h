#pragma once
#include <windows.h>

#include <string>

namespace brelio::test {

// String `id` of the string table of the library file at `library`, as the
// library's own boxes show it, with its %s replaced by `argument`; empty
// when the file or the string is missing. The test program carries only
// the program's string table, whose ids the update library's share.
std::wstring LibraryText(const std::wstring& library, UINT id, const std::wstring& argument = {});

}  // namespace brelio::test
