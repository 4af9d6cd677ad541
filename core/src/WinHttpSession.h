#pragma once
#include <windows.h>
#include <winhttp.h>

#include "BrelioCore/UniqueHandle.h"

namespace brelio {

// The process-wide WinHTTP session, in asynchronous mode (its requests go
// through CAwaitedRequest); its connection pool is what keeps connections
// alive from one request to the next. NULL when it cannot be
// made (the error is then the thread's last error).
HINTERNET SharedWinHttpSession();

}  // namespace brelio
