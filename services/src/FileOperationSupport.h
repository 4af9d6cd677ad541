#pragma once
#include <windows.h>

#include "BrelioServices/FileOperations.h"

// Makes the attempt; while it fails and retries are left, sleeps and tries
// again. The last attempt's result is the result.
template <typename Attempt>
[[nodiscard]] HRESULT RunWithRetries(int retries, Attempt&& attempt) {
    for (;;) {
        const HRESULT hr = attempt();
        if (SUCCEEDED(hr) || retries <= 0) return hr;
        --retries;
        ::Sleep(kFileRetryPause);
    }
}

[[nodiscard]] inline HRESULT LastErrorAsHresult() { return HresultFromWin32(static_cast<int>(::GetLastError())); }

// True only when the item is known to be missing; a path that cannot be
// looked at (access denied, in use) is not gone.
inline bool IsPathGone(const wchar_t* path) {
    if (::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}
