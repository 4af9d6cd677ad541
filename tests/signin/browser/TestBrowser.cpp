#include "TestBrowser.h"

#include <exdispid.h>
#include <mshtml.h>
#include <ocidl.h>

#include <algorithm>
#include <cwctype>
#include <deque>
#include <map>
#include <utility>

#include "BrelioCore/ComPtr.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "PageFetch.h"
#include "StubInterfaces.h"

using brelio::ComPtr;

namespace brelio::test {

namespace {

constexpr wchar_t kPumpClass[] = L"BrelioTest.BrowserPump";
constexpr UINT kNavigateNext = WM_APP + 1;
constexpr wchar_t kErrorPageText[] = L"This page cannot be displayed.";

PageHook g_hook;
bool g_failNextActivation = false;
int g_liveBrowsers = 0;
int g_connectedSinks = 0;
std::vector<std::wstring> g_completedPages;

// IUnknown for one object that hands out the interfaces its table names.
#define TEST_REFCOUNT                                                                  \
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_refs); }  \
    STDMETHODIMP_(ULONG) Release() override {                                         \
        const LONG refs = --m_refs;                                                    \
        if (refs == 0) delete this;                                                    \
        return static_cast<ULONG>(refs);                                               \
    }                                                                                  \
    LONG m_refs = 1;

#define TEST_NO_TYPEINFO                                                                            \
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {                                           \
        if (count != nullptr) *count = 0;                                                           \
        return S_OK;                                                                                \
    }                                                                                               \
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }                \
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; } \
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { \
        return DISP_E_MEMBERNOTFOUND;                                                               \
    }

// The page's <body> element: only its text.
class CTestBody final : public StubHtmlElement {
public:
    explicit CTestBody(std::wstring text) : m_text(std::move(text)) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != IID_IHTMLElement) return E_NOINTERFACE;
        *out = static_cast<IHTMLElement*>(this);
        AddRef();
        return S_OK;
    }
    TEST_REFCOUNT
    TEST_NO_TYPEINFO

    STDMETHODIMP get_innerText(BSTR* text) override {
        if (text == nullptr) return E_POINTER;
        *text = ::SysAllocStringLen(m_text.data(), static_cast<UINT>(m_text.size()));
        return *text != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP get_tagName(BSTR* name) override {
        if (name == nullptr) return E_POINTER;
        *name = ::SysAllocString(L"BODY");
        return S_OK;
    }

private:
    ~CTestBody() = default;
    std::wstring m_text;
};

class CTestDocument final : public StubHtmlDocument2 {
public:
    CTestDocument(std::wstring address, std::wstring bodyText)
        : m_address(std::move(address)), m_body(new CTestBody(std::move(bodyText))) {
        m_body->Release();  // the ComPtr holds the one reference
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != IID_IHTMLDocument && iid != IID_IHTMLDocument2) {
            return E_NOINTERFACE;
        }
        *out = static_cast<IHTMLDocument2*>(this);
        AddRef();
        return S_OK;
    }
    TEST_REFCOUNT
    TEST_NO_TYPEINFO

    STDMETHODIMP get_body(IHTMLElement** body) override {
        if (body == nullptr) return E_POINTER;
        *body = m_body.Get();
        (*body)->AddRef();
        return S_OK;
    }
    STDMETHODIMP get_URL(BSTR* address) override {
        if (address == nullptr) return E_POINTER;
        *address = ::SysAllocString(m_address.c_str());
        return S_OK;
    }

private:
    ~CTestDocument() = default;
    std::wstring m_address;
    ComPtr<CTestBody> m_body;
};

class CTestBrowser final : public StubWebBrowser2,
                           public StubOleObject,
                           public IConnectionPointContainer,
                           public IConnectionPoint {
public:
    CTestBrowser() { ++g_liveBrowsers; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IWebBrowser || iid == IID_IWebBrowserApp ||
            iid == IID_IWebBrowser2) {
            *out = static_cast<IWebBrowser2*>(this);
        } else if (iid == IID_IOleObject) {
            *out = static_cast<IOleObject*>(this);
        } else if (iid == IID_IConnectionPointContainer) {
            *out = static_cast<IConnectionPointContainer*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    TEST_REFCOUNT
    TEST_NO_TYPEINFO

    // IOleObject: what the ActiveX host calls.
    STDMETHODIMP SetClientSite(IOleClientSite* site) override {
        m_site = site;
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** site) override {
        if (site == nullptr) return E_POINTER;
        *site = m_site.Get();
        if (*site != nullptr) (*site)->AddRef();
        return S_OK;
    }
    STDMETHODIMP DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override {
        if (std::exchange(g_failNextActivation, false)) return E_FAIL;
        return MakePump() ? S_OK : E_FAIL;
    }
    STDMETHODIMP Close(DWORD) override {
        // No page completes after the control is closed.
        m_pending.clear();
        m_pump.Reset();
        return S_OK;
    }

    // IWebBrowser2
    STDMETHODIMP Navigate(BSTR address, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override {
        if (address == nullptr) return E_INVALIDARG;
        return Queue(address);
    }
    STDMETHODIMP Navigate2(VARIANT* address, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override {
        if (address == nullptr || address->vt != VT_BSTR || address->bstrVal == nullptr) return E_INVALIDARG;
        return Queue(address->bstrVal);
    }
    STDMETHODIMP get_Document(IDispatch** document) override {
        if (document == nullptr) return E_POINTER;
        *document = m_document.Get();
        if (*document == nullptr) return S_FALSE;
        (*document)->AddRef();
        return S_OK;
    }
    STDMETHODIMP get_LocationURL(BSTR* address) override {
        if (address == nullptr) return E_POINTER;
        *address = ::SysAllocString(m_location.c_str());
        return S_OK;
    }
    STDMETHODIMP get_Busy(VARIANT_BOOL* busy) override {
        if (busy == nullptr) return E_POINTER;
        *busy = m_pending.empty() ? VARIANT_FALSE : VARIANT_TRUE;
        return S_OK;
    }
    STDMETHODIMP Stop() override {
        m_pending.clear();
        return S_OK;
    }

    // IConnectionPointContainer: one point, DWebBrowserEvents2.
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
        if (point == nullptr) return E_POINTER;
        *point = nullptr;
        if (iid != DIID_DWebBrowserEvents2) return CONNECT_E_NOCONNECTION;
        *point = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }

    // IConnectionPoint
    STDMETHODIMP GetConnectionInterface(IID* iid) override {
        if (iid == nullptr) return E_POINTER;
        *iid = DIID_DWebBrowserEvents2;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override {
        if (container == nullptr) return E_POINTER;
        *container = static_cast<IConnectionPointContainer*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
        if (sink == nullptr || cookie == nullptr) return E_POINTER;
        ComPtr<IDispatch> events;
        if (FAILED(sink->QueryInterface(DIID_DWebBrowserEvents2, events.PutVoid()))) return CONNECT_E_CANNOTCONNECT;
        *cookie = ++m_lastCookie;
        m_sinks.emplace(*cookie, events);
        ++g_connectedSinks;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        if (m_sinks.erase(cookie) == 0) return CONNECT_E_NOCONNECTION;
        --g_connectedSinks;
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    void NavigateNext();

private:
    // Sinks still connected when the browser goes stay counted: a leak the
    // tests are to see.
    ~CTestBrowser() { --g_liveBrowsers; }

    bool MakePump();
    HRESULT Queue(const wchar_t* address) {
        if (!m_pump && !MakePump()) return E_FAIL;
        m_pending.emplace_back(address);
        return ::PostMessageW(m_pump.Get(), kNavigateNext, 0, 0) ? S_OK : HRESULT_FROM_WIN32(::GetLastError());
    }
    void Complete(const std::wstring& address);

    ComPtr<IOleClientSite> m_site;
    brelio::UniqueWindow m_pump;  // where the queued pages are loaded, on the UI thread
    std::deque<std::wstring> m_pending;
    ComPtr<IDispatch> m_document;
    std::wstring m_location;
    std::map<DWORD, ComPtr<IDispatch>> m_sinks;
    DWORD m_lastCookie = 0;
};

LRESULT CALLBACK PumpProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kNavigateNext) {
        auto* browser = reinterpret_cast<CTestBrowser*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (browser != nullptr) browser->NavigateNext();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool CTestBrowser::MakePump() {
    if (m_pump) return true;
    static const bool registered = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = PumpProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kPumpClass;
        return ::RegisterClassExW(&wc) != 0;
    }();
    if (!registered) return false;
    m_pump.Reset(::CreateWindowExW(0, kPumpClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr));
    if (!m_pump) return false;
    ::SetWindowLongPtrW(m_pump.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

void CTestBrowser::NavigateNext() {
    if (m_pending.empty()) return;
    const std::wstring requested = m_pending.front();
    m_pending.pop_front();
    ComPtr<IWebBrowser2> self(static_cast<IWebBrowser2*>(this));  // alive through the handlers

    FetchedPage page;
    std::wstring address = requested;
    std::wstring text = kErrorPageText;
    if (SUCCEEDED(FetchPage(requested, page))) {
        address = page.address;
        text = BodyTextOfPage(Utf8ToWide(page.body));
    }
    m_location = address;
    m_document = ComPtr<IDispatch>::Attach(static_cast<IHTMLDocument2*>(new CTestDocument(address, text)));
    Complete(address);
}

void CTestBrowser::Complete(const std::wstring& address) {
    brelio::UniqueBstr text(::SysAllocString(address.c_str()));
    VARIANT url;
    ::VariantInit(&url);
    url.vt = VT_BSTR;
    url.bstrVal = text.Get();
    VARIANT args[2];
    args[0].vt = VT_BYREF | VT_VARIANT;  // the address: last argument first
    args[0].pvarVal = &url;
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = static_cast<IWebBrowser2*>(this);
    DISPPARAMS params = {args, nullptr, 2, 0};
    std::vector<ComPtr<IDispatch>> sinks;
    for (const auto& entry : m_sinks) sinks.push_back(entry.second);
    for (const ComPtr<IDispatch>& sink : sinks) {
        sink->Invoke(DISPID_DOCUMENTCOMPLETE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                     nullptr, nullptr);
    }
    g_completedPages.push_back(address);
    if (g_hook) {
        PageHook hook = g_hook;  // the hook may replace itself
        hook(static_cast<IWebBrowser2*>(this), address);
    }
}

class CTestBrowserFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        auto* browser = new CTestBrowser();
        const HRESULT hr = browser->QueryInterface(iid, out);
        static_cast<IWebBrowser2*>(browser)->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

CTestBrowserFactory g_factory;

bool StartsWithNoCase(const std::wstring& text, size_t at, const wchar_t* prefix) {
    for (size_t i = 0; prefix[i] != L'\0'; ++i) {
        if (at + i >= text.size() || std::towlower(text[at + i]) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

CTestBrowserClass::CTestBrowserClass() {
    m_registered = ::CoRegisterClassObject(CLSID_WebBrowser, &g_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                           &m_cookie);
}

CTestBrowserClass::~CTestBrowserClass() {
    g_hook = nullptr;
    ForgetCookies();
    g_failNextActivation = false;
    if (SUCCEEDED(m_registered)) ::CoRevokeClassObject(m_cookie);
}

void SetAfterDocumentComplete(PageHook hook) { g_hook = std::move(hook); }

HRESULT NavigateAsUser(IWebBrowser2* browser, const std::wstring& address) {
    if (browser == nullptr) return E_POINTER;
    brelio::UniqueBstr text(::SysAllocString(address.c_str()));
    VARIANT empty;
    ::VariantInit(&empty);
    return browser->Navigate(text.Get(), &empty, &empty, &empty, &empty);
}

void FailNextActivation() { g_failNextActivation = true; }
int LiveBrowsers() { return g_liveBrowsers; }
int ConnectedSinks() { return g_connectedSinks; }

std::vector<std::wstring> TakeCompletedPages() { return std::exchange(g_completedPages, {}); }

std::wstring BodyTextOfPage(const std::wstring& page) {
    size_t begin = 0;
    size_t end = page.size();
    for (size_t i = 0; i < page.size(); ++i) {
        if (page[i] == L'<' && StartsWithNoCase(page, i + 1, L"body")) {
            const size_t close = page.find(L'>', i);
            begin = close == std::wstring::npos ? page.size() : close + 1;
            break;
        }
    }
    for (size_t i = begin; i < page.size(); ++i) {
        if (page[i] == L'<' && StartsWithNoCase(page, i + 1, L"/body")) {
            end = i;
            break;
        }
    }
    static const std::pair<const wchar_t*, wchar_t> kEntities[] = {
        {L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&#x27;", L'\''}, {L"&#39;", L'\''}};
    std::wstring text;
    for (size_t i = begin; i < end; ++i) {
        if (page[i] == L'<') {
            const size_t close = page.find(L'>', i);
            if (close == std::wstring::npos || close >= end) break;
            i = close;
            continue;
        }
        if (page[i] == L'&') {
            bool decoded = false;
            for (const auto& [name, value] : kEntities) {
                if (page.compare(i, wcslen(name), name) == 0) {
                    text += value;
                    i += wcslen(name) - 1;
                    decoded = true;
                    break;
                }
            }
            if (decoded) continue;
        }
        text += page[i];
    }
    return text;
}

}  // namespace brelio::test
