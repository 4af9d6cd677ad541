#pragma once
#include <windows.h>

// BrelioLauncher ends with UpdateFile's result as its exit code, and
// ApplyUpdate turns that code back into a result.

// 0 on success; otherwise the low 16 bits of the failure (E_ABORT gives
// 0x4004, a system error its code). A failure whose low 16 bits are 0 would
// read as success, so it keeps its whole value, a negative number, which
// ExitCodeToResult takes back unchanged.
int UpdateFileExitCode(HRESULT result);

// 0 stays 0; a positive code becomes 0x8007 with its low 16 bits; a code
// that is negative as a signed 32-bit number is already a result.
HRESULT ExitCodeToResult(DWORD exitCode);
