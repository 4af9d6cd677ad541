#pragma once
#include <windows.h>

// The version of Kernel32.dll, which (unlike GetVersionEx) is not bent by
// compatibility shims. False, with both left as they were, when it cannot
// be read.
bool GetWindowsVersion(WORD& major, WORD& minor);

// False also when the version cannot be read.
bool IsWindows10OrLater();
