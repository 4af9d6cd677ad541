#pragma once
#include <windows.h>

#include <cstdint>

// The service's answers that mean the drive service is disabled for this
// session (0xA0000010 to 0xA0000012): the user has to sign in again.
constexpr bool IsSessionError(HRESULT code) {
    return static_cast<uint32_t>(code) - 0xA0000010u < 3u;
}
