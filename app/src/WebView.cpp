#include "BrelioApp/WebView.h"

#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/AxHost.h"

using brelio::ComPtr;

void CWebBrowserEvent::OnDocumentComplete(IDispatch* document, VARIANT* address) {
    if (m_callback == nullptr || document == nullptr) return;
    ComPtr<IWebBrowser2> browser;
    if (FAILED(document->QueryInterface(IID_IWebBrowser2, browser.PutVoid())) || !browser) return;
    const wchar_t* text = nullptr;
    if (address != nullptr && address->vt == VT_BSTR) text = address->bstrVal;
    // The callback gets its own copy: the event's string belongs to the
    // control and may change while the callback works.
    brelio::UniqueBstr copy(::SysAllocString(text));
    m_callback->OnDocumentComplete(browser.Get(), copy ? copy.Get() : L"");
}

CWebView::CWebView() { ATL::AtlAxWinInit(); }

CWebView::~CWebView() { UnadviseBrowserEvents(); }

HWND CWebView::Create(HWND parent, const RECT& rect, const wchar_t* address,
                      CWebBrowserEvent::ICallback* callback, bool scrollBars) {
    if (ATL::CWindowImpl<CWebView, ATL::CWindow, ATL::CControlWinTraits>::Create(
            parent, rect, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN) == nullptr) {
        return nullptr;
    }
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (scrollBars) style |= WS_VSCROLL | WS_HSCROLL;
    m_browserWindow = ::CreateWindowExW(0, ATL::kAxHostClassName, address, style, 0, 0, rect.right - rect.left,
                                        rect.bottom - rect.top, m_hWnd, nullptr, ATL::GetModuleInstance(), nullptr);
    m_events.SetCallback(callback);
    // Without a browser there is nothing to listen to; the view stays empty.
    (void)AdviseBrowserEvents();
    return m_hWnd;
}

HRESULT CWebView::AdviseBrowserEvents() {
    ComPtr<IWebBrowser2> browser;
    const HRESULT hr = ATL::CAxWindow(m_browserWindow).QueryControl(browser.Put());
    if (FAILED(hr)) return hr;
    if (m_events.IsConnected()) ATL::AtlThrow(E_FAIL);  // connected twice: a programming error
    const HRESULT advised = m_events.DispEventAdvise(browser.Get());
    if (SUCCEEDED(advised)) m_connectedBrowser = browser;
    return advised;
}

void CWebView::UnadviseBrowserEvents() {
    if (!m_connectedBrowser) return;
    // The browser the sink was connected to, not whatever the host holds
    // now: the host may already be gone.
    m_events.DispEventUnadvise(m_connectedBrowser.Get());
    m_connectedBrowser.Reset();
}

BOOL CWebView::PreTranslateMessage(MSG* msg) {
    if (msg == nullptr) return FALSE;
    const bool keyboard = msg->message >= 0x0100 && msg->message <= 0x0109;  // WM_KEYDOWN .. WM_UNICHAR
    const bool mouse = msg->message >= 0x0200 && msg->message <= 0x020E;     // WM_MOUSEMOVE .. WM_MOUSEHWHEEL
    if (!keyboard && !mouse) return FALSE;
    if (m_browserWindow == nullptr || !::IsWindow(m_browserWindow)) return FALSE;
    return static_cast<BOOL>(::SendMessageW(m_browserWindow, WM_FORWARDMSG, 0, reinterpret_cast<LPARAM>(msg)));
}

LRESULT CWebView::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    UnadviseBrowserEvents();
    handled = FALSE;  // default processing goes on
    return 0;
}

void CWebView::OnFinalMessage(HWND) { m_browserWindow = nullptr; }
