#pragma once
#include <windows.h>

#include <string>

#include "BrelioApp/ModalWndBase.h"
#include "BrelioApp/WebView.h"
#include "BrelioFramework/MessageMap.h"
#include "BrelioFramework/WindowImpl.h"

// The web sign-out: the service's sign-out page of the stored account's
// tenant, loaded in a window that is never shown, until the browser
// reaches the sign-out finalize page or the wait runs out.
class CLogoutWnd : public ATL::CWindowImpl<CLogoutWnd, ATL::CWindow, ATL::CControlWinTraits>,
                   public CModalWndBase,
                   public CWebBrowserEvent::ICallback {
public:
    // The longest the sign-out waits for its finalize page. Past it the
    // program goes on (exit or a new sign-in) and the service's session
    // simply stays until it expires there.
    static constexpr UINT kSignOutWaitMs = 5000;
    static constexpr UINT_PTR kWaitTimerId = 1;

    DECLARE_WND_CLASS(L"BrelioDrive.LogoutWnd")

    // 1 signed out; 2 when the wait ran out or no page could be opened.
    // The caller ignores it.
    INT_PTR DoModal(HWND owner);
    HWND Create(HWND owner);

    BOOL PreTranslateMessage(MSG* msg) override { return m_webView.PreTranslateMessage(msg); }
    HWND GetHwnd() const override { return m_hWnd; }
    void OnDocumentComplete(IWebBrowser2* browser, const wchar_t* address) override;

    BEGIN_MSG_MAP(CLogoutWnd)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
    END_MSG_MAP()

private:
    LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled);

    std::wstring m_finalizeUrl;
    CWebView m_webView;
};
