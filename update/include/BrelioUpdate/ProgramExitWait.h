#pragma once
#include <windows.h>

#include <string>

// Waits until no process of this session runs the executable at
// `programPath` (compared without regard to case), for at most
// `timeoutMs`. S_OK when none runs (any more); HRESULT_FROM_WIN32
// (WAIT_TIMEOUT) when one still runs at the end.
[[nodiscard]] HRESULT WaitForProgramExit(const std::wstring& programPath, DWORD timeoutMs);
