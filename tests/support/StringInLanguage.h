#pragma once
#include <windows.h>

#include <string>

namespace brelio::test {

// One string of the running program's table in one language, read from its
// resource block (Wine's LoadStringW does not follow the thread's UI
// language). Empty when the block or the string is missing.
std::wstring StringInLanguage(UINT id, WORD language);

}  // namespace brelio::test
