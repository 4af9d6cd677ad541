#pragma once
#include <windows.h>

#include <string>

#include "BrelioApp/ModalWndBase.h"
#include "BrelioApp/WebView.h"
#include "BrelioFramework/MessageMap.h"
#include "BrelioFramework/WindowImpl.h"

// The web sign-in: the service's own sign-in page of the tenant in an
// embedded browser, watched until the browser reaches the finalize page,
// whose body text is the new session.
class CLoginWnd : public ATL::CWindowImpl<CLoginWnd, ATL::CWindow, ATL::CControlWinTraits>,
                  public CModalWndBase,
                  public CWebBrowserEvent::ICallback {
public:
    DECLARE_WND_CLASS(L"BrelioDrive.LoginWnd")

    // The tenant domain is kept by reference: its owner (the tenant
    // window) outlives this window.
    explicit CLoginWnd(const std::wstring& tenant) : m_tenant(&tenant) {}

    // 1 signed in, 2 closed (or no sign-in page could be opened).
    INT_PTR DoModal(HWND owner);
    HWND Create(HWND owner);
    const std::wstring& GetSession() const { return m_session; }

    BOOL PreTranslateMessage(MSG* msg) override { return m_webView.PreTranslateMessage(msg); }
    HWND GetHwnd() const override { return m_hWnd; }
    void OnDocumentComplete(IWebBrowser2* browser, const wchar_t* address) override;

    BEGIN_MSG_MAP(CLoginWnd)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
    END_MSG_MAP()

private:
    const std::wstring* m_tenant;  // not owned
    std::wstring m_finalizeUrl;
    std::wstring m_session;
    CWebView m_webView;
};

// The text of a finalize page as a session: white space around it removed;
// empty when what is left is no session token of the tenant (empty, blanks,
// control or non-ASCII characters, too long for the session header).
std::wstring SessionFromPageText(const wchar_t* text, const wchar_t* tenant);
