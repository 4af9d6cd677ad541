#pragma once
#include <windows.h>

#include <cstdint>

// The service's answers that mean the drive service is disabled for this
// session, first to last: the user has to sign in again.
constexpr HRESULT API_E_SESSION_FIRST = static_cast<HRESULT>(0xA0000010);
constexpr HRESULT API_E_SESSION_LAST = static_cast<HRESULT>(0xA0000012);

constexpr bool IsSessionError(HRESULT code) {
    return static_cast<uint32_t>(code) - static_cast<uint32_t>(API_E_SESSION_FIRST) <=
           static_cast<uint32_t>(API_E_SESSION_LAST) - static_cast<uint32_t>(API_E_SESSION_FIRST);
}
