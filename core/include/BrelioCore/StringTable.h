#pragma once
#include <windows.h>

#include <string>

// A text of the program's string table, empty when the id is missing. The
// table is compiled into each executable, so it is read from the program
// module whatever library asks.
std::wstring LoadStringText(UINT id);
