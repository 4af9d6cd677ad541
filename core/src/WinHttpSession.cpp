#include "WinHttpSession.h"

namespace brelio {
namespace {

INIT_ONCE g_once = INIT_ONCE_STATIC_INIT;
HINTERNET g_session = nullptr;
DWORD g_error = ERROR_SUCCESS;

BOOL CALLBACK OpenSession(PINIT_ONCE, PVOID, PVOID*) {
    // The system's proxy settings, as the user configured them for Windows.
    // Asynchronous, so that a waiting request can be given up at once.
    g_session = ::WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    if (g_session == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER) {
        // Before Windows 8.1 the automatic mode is unknown: read the user's
        // proxy configuration ourselves.
        WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie = {};
        const wchar_t* proxy = WINHTTP_NO_PROXY_NAME;
        const wchar_t* bypass = WINHTTP_NO_PROXY_BYPASS;
        DWORD access = WINHTTP_ACCESS_TYPE_NO_PROXY;
        if (::WinHttpGetIEProxyConfigForCurrentUser(&ie) && ie.lpszProxy != nullptr) {
            access = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
            proxy = ie.lpszProxy;
            if (ie.lpszProxyBypass != nullptr) bypass = ie.lpszProxyBypass;
        }
        g_session = ::WinHttpOpen(nullptr, access, proxy, bypass, WINHTTP_FLAG_ASYNC);
        if (ie.lpszAutoConfigUrl) ::GlobalFree(ie.lpszAutoConfigUrl);
        if (ie.lpszProxy) ::GlobalFree(ie.lpszProxy);
        if (ie.lpszProxyBypass) ::GlobalFree(ie.lpszProxyBypass);
    }
    if (g_session == nullptr) g_error = ::GetLastError();
    return TRUE;
}

}  // namespace

HINTERNET SharedWinHttpSession() {
    ::InitOnceExecuteOnce(&g_once, OpenSession, nullptr, nullptr);
    if (g_session == nullptr) ::SetLastError(g_error);
    return g_session;
}

}  // namespace brelio
