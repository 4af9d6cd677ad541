#pragma once
#include <windows.h>

// Results and request flags shared by the update's sources.

// Always from the network, never with a user interface of the HTTP stack.
inline constexpr DWORD kUpdateRequestFlags = 0x80000200;

// The calling thread's last error as a result; E_FAIL when there is none.
inline HRESULT LastErrorResult() {
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// An HTTP answer other than 200 as a result (the HTTP_E_STATUS_* values).
inline HRESULT HttpStatusResult(DWORD status) { return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_HTTP, status & 0xFFFF); }
