#include "BrelioApp/LogoutWnd.h"

#include <shlwapi.h>

#include "BrelioApp/DriveApp.h"
#include "BrelioApp/WebAddress.h"

INT_PTR CLogoutWnd::DoModal(HWND owner) {
    if (Create(owner) == nullptr) return m_result;
    return CModalWndBase::DoModal(owner, owner, SW_HIDE);
}

HWND CLogoutWnd::Create(HWND owner) {
    const std::wstring tenant = CDriveApp::GetInstance()->GetSettings().GetTenant();
    std::wstring signOut;
    if (FAILED(BuildTenantWebAddress(tenant.c_str(), kSignOutPath, signOut)) ||
        FAILED(BuildTenantWebAddress(tenant.c_str(), kSignOutFinalizePath, m_finalizeUrl))) {
        return nullptr;
    }
    RECT frame = {0, 0, 1024, 640};
    if (ATL::CWindowImpl<CLogoutWnd, ATL::CWindow, ATL::CControlWinTraits>::Create(
            owner, frame, nullptr, WS_POPUP | WS_CAPTION | WS_SYSMENU) == nullptr) {
        return nullptr;
    }
    // A sign-out page that never reaches its finalize page (no network, an
    // error page) must not hold up exit or the next sign-in for ever.
    SetTimer(kWaitTimerId, kSignOutWaitMs);
    RECT client;
    GetClientRect(&client);
    m_webView.Create(m_hWnd, client, signOut.c_str(), this, true);
    return m_hWnd;
}

void CLogoutWnd::OnDocumentComplete(IWebBrowser2*, const wchar_t* address) {
    if (address == nullptr ||
        ::StrCmpNIW(address, m_finalizeUrl.c_str(), static_cast<int>(m_finalizeUrl.size())) != 0) {
        return;
    }
    KillTimer(kWaitTimerId);
    m_result = kResultOk;
    m_running = false;
}

LRESULT CLogoutWnd::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    if (wParam != kWaitTimerId) {
        handled = FALSE;
        return 0;
    }
    KillTimer(kWaitTimerId);
    m_result = kResultCancel;
    m_running = false;
    return 0;
}
