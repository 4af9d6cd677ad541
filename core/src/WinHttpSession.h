#pragma once
#include <windows.h>
#include <winhttp.h>

#include "BrelioCore/UniqueHandle.h"

namespace brelio {

struct WinHttpHandleTraits {
    using Handle = HINTERNET;
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::WinHttpCloseHandle(h); }
};
using UniqueWinHttpHandle = UniqueHandle<WinHttpHandleTraits>;

// The process-wide WinHTTP session, in asynchronous mode (its requests go
// through CAwaitedRequest); its connection pool is what keeps connections
// alive from one request to the next. NULL when it cannot be
// made (the error is then the thread's last error).
HINTERNET SharedWinHttpSession();

}  // namespace brelio
