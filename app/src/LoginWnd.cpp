#include "BrelioApp/LoginWnd.h"

#include <mshtml.h>
#include <shlwapi.h>

#include <cwctype>

#include "BrelioApp/StringIds.h"
#include "BrelioApp/UiFont.h"
#include "BrelioApp/WebAddress.h"
#include "BrelioCore/ComPtr.h"
#include "BrelioCore/StringTable.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/RequestTexts.h"

using brelio::ComPtr;

std::wstring SessionFromPageText(const wchar_t* text, const wchar_t* tenant) {
    std::wstring session = text != nullptr ? text : L"";
    size_t first = 0;
    while (first < session.size() && std::iswspace(session[first])) ++first;
    size_t last = session.size();
    while (last > first && std::iswspace(session[last - 1])) --last;
    session = session.substr(first, last - first);
    // The session goes out in a header line of every request: a page that
    // shows anything else (an error text, a cut page) gives no session. A
    // session is one token, so a text with blanks inside is a page's prose.
    if (session.find_first_of(L" \t") != std::wstring::npos) return std::wstring();
    std::wstring header;
    if (FAILED(MakeSessionHeader(session.c_str(), tenant, header))) return std::wstring();
    return session;
}

INT_PTR CLoginWnd::DoModal(HWND owner) {
    if (Create(owner) == nullptr) return m_result;
    return CModalWndBase::DoModal(owner, ::GetDesktopWindow(), SW_SHOW);
}

HWND CLoginWnd::Create(HWND owner) {
    // The tenant becomes part of the host of both addresses: nothing is
    // built, and no window opened, for a text that is no DNS label.
    std::wstring signIn;
    if (FAILED(BuildTenantWebAddress(m_tenant->c_str(), kSignInPath, signIn)) ||
        FAILED(BuildTenantWebAddress(m_tenant->c_str(), kSignInFinalizePath, m_finalizeUrl))) {
        return nullptr;
    }
    RECT frame = {0, 0, 1024, 640};
    if (ATL::CWindowImpl<CLoginWnd, ATL::CWindow, ATL::CControlWinTraits>::Create(
            owner, frame, LoadStringText(IDS_LOGIN_TITLE).c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU) == nullptr) {
        return nullptr;
    }
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadProgramIcon(true)));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadProgramIcon(false)));
    RECT client;
    GetClientRect(&client);
    m_webView.Create(m_hWnd, client, signIn.c_str(), this, true);
    return m_hWnd;
}

void CLoginWnd::OnDocumentComplete(IWebBrowser2* browser, const wchar_t* address) {
    if (address == nullptr || ::StrCmpNIW(address, m_finalizeUrl.c_str(), static_cast<int>(m_finalizeUrl.size())) != 0) {
        return;  // still on the way through the sign-in pages
    }
    ComPtr<IDispatch> document;
    if (FAILED(browser->get_Document(document.Put())) || !document) return;
    ComPtr<IHTMLDocument2> html;
    if (FAILED(document.As(html))) return;
    ComPtr<IHTMLElement> body;
    if (FAILED(html->get_body(body.Put())) || !body) return;
    brelio::UniqueBstr text;
    if (FAILED(body->get_innerText(text.Put()))) return;
    std::wstring session = SessionFromPageText(text.Get(), m_tenant->c_str());
    // The window stays open on a page that shows no usable session; the
    // user can try again or close it.
    if (session.empty()) return;
    m_session = std::move(session);
    m_result = kResultOk;
    m_running = false;
}
