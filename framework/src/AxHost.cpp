#include "BrelioFramework/AxHost.h"

#include <exdisp.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>

#include "BrelioCore/ComPtr.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/MessageMap.h"
#include "BrelioFramework/Module.h"

using brelio::ComPtr;

namespace ATL {

namespace {

constexpr wchar_t kPlainHostClassName[] = L"AtlAxWin140";

UINT GetControlMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"Brelio.AxHost.GetControl");
    return message;
}

// The site the hosted control talks to: client site, in-place site,
// in-place frame, ambient properties and control site, all in one object
// whose life the host window holds.
class AxSite final : public IOleClientSite,
                     public IOleInPlaceSite,
                     public IOleInPlaceFrame,
                     public IOleControlSite,
                     public IDispatch {
public:
    explicit AxSite(HWND window) : m_window(window) {}

    HRESULT CreateControl(const wchar_t* text);
    void Resize(int width, int height);
    void Close();
    BOOL TranslateForwarded(MSG* msg);
    HRESULT GetControl(IUnknown** control) const {
        if (control == nullptr) return E_POINTER;
        *control = m_control.Get();
        if (*control == nullptr) return E_FAIL;
        (*control)->AddRef();
        return S_OK;
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
        else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
        else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) *out = static_cast<IOleInPlaceFrame*>(this);
        else if (iid == IID_IOleControlSite) *out = static_cast<IOleControlSite*>(this);
        else if (iid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
        else return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0) delete this;
        return static_cast<ULONG>(refs);
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        if (moniker != nullptr) *moniker = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
        if (container != nullptr) *container = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (shared by the in-place site and the frame)
    STDMETHODIMP GetWindow(HWND* window) override {
        if (window == nullptr) return E_POINTER;
        *window = m_window;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr || info == nullptr) {
            return E_POINTER;
        }
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *document = nullptr;
        ::GetClientRect(m_window, position);
        *clip = *position;
        info->fMDIApp = FALSE;
        info->hwndFrame = ::GetAncestor(m_window, GA_ROOT);
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override {
        m_active.Reset();
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT position) override {
        if (m_inPlace && position != nullptr) m_inPlace->SetObjectRects(position, position);
        return S_OK;
    }

    // IOleInPlaceUIWindow and IOleInPlaceFrame: no tool space, no menus.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) override {
        m_active = active;
        return S_OK;
    }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IOleControlSite
    STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
    STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
    STDMETHODIMP GetExtendedControl(IDispatch** extended) override {
        if (extended != nullptr) *extended = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
    STDMETHODIMP OnFocus(BOOL) override { return S_OK; }
    STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }

    // IDispatch: the ambient properties.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

private:
    ~AxSite() = default;

    LONG m_refs = 1;
    HWND m_window;
    ComPtr<IUnknown> m_control;
    ComPtr<IOleObject> m_object;
    ComPtr<IOleInPlaceObject> m_inPlace;
    ComPtr<IOleInPlaceActiveObject> m_active;
};

HRESULT AxSite::Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
    if ((flags & DISPATCH_PROPERTYGET) == 0) return DISP_E_MEMBERNOTFOUND;
    if (result == nullptr) return E_POINTER;
    ::VariantInit(result);
    switch (dispid) {
    case DISPID_AMBIENT_USERMODE:
    case DISPID_AMBIENT_MESSAGEREFLECT:
    case DISPID_AMBIENT_AUTOCLIP:
        result->vt = VT_BOOL;
        result->boolVal = VARIANT_TRUE;
        return S_OK;
    case DISPID_AMBIENT_SHOWGRABHANDLES:
    case DISPID_AMBIENT_SHOWHATCHING:
    case DISPID_AMBIENT_UIDEAD:
    case DISPID_AMBIENT_DISPLAYASDEFAULT:
        result->vt = VT_BOOL;
        result->boolVal = VARIANT_FALSE;
        return S_OK;
    case DISPID_AMBIENT_LOCALEID:
        result->vt = VT_I4;
        result->lVal = static_cast<LONG>(::GetUserDefaultLCID());
        return S_OK;
    case DISPID_AMBIENT_BACKCOLOR:
        result->vt = VT_I4;
        result->lVal = static_cast<LONG>(::GetSysColor(COLOR_WINDOW));
        return S_OK;
    case DISPID_AMBIENT_FORECOLOR:
        result->vt = VT_I4;
        result->lVal = static_cast<LONG>(::GetSysColor(COLOR_WINDOWTEXT));
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT AxSite::CreateControl(const wchar_t* text) {
    CLSID clsid = {};
    bool navigate = false;
    if (text[0] == L'{') {
        const HRESULT hr = ::CLSIDFromString(text, &clsid);
        if (FAILED(hr)) return hr;
    } else if (FAILED(::CLSIDFromProgID(text, &clsid))) {
        clsid = CLSID_WebBrowser;  // anything else is an address to show
        navigate = true;
    }
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, m_control.PutVoid());
    if (FAILED(hr)) return hr;
    hr = m_control.As(m_object);
    if (FAILED(hr)) return hr;
    hr = m_object->SetClientSite(static_cast<IOleClientSite*>(this));
    if (FAILED(hr)) return hr;
    ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(m_control.As(persist))) persist->InitNew();

    RECT client;
    ::GetClientRect(m_window, &client);
    hr = m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0, m_window,
                          &client);
    if (FAILED(hr)) return hr;
    m_control.As(m_inPlace);
    if (!m_active) m_control.As(m_active);

    if (navigate) {
        ComPtr<IWebBrowser2> browser;
        hr = m_control.As(browser);
        if (FAILED(hr)) return hr;
        brelio::UniqueBstr address(::SysAllocString(text));
        if (!address) return E_OUTOFMEMORY;
        VARIANT empty;
        ::VariantInit(&empty);
        // A navigation that cannot start leaves the control on its blank
        // page; the page-loaded events tell the caller what happened.
        browser->Navigate(address.Get(), &empty, &empty, &empty, &empty);
    }
    return S_OK;
}

void AxSite::Resize(int width, int height) {
    if (!m_inPlace) return;
    const RECT position = {0, 0, width, height};
    m_inPlace->SetObjectRects(&position, &position);
}

void AxSite::Close() {
    if (m_inPlace) m_inPlace->InPlaceDeactivate();
    if (m_object) {
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
    }
    m_active.Reset();
    m_inPlace.Reset();
    m_object.Reset();
    m_control.Reset();
}

BOOL AxSite::TranslateForwarded(MSG* msg) {
    if (!m_active || msg == nullptr) return FALSE;
    return m_active->TranslateAccelerator(msg) == S_OK;
}

AxSite* SiteOf(HWND window) { return reinterpret_cast<AxSite*>(::GetWindowLongPtrW(window, 0)); }

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    AxSite* site = SiteOf(window);
    switch (message) {
    case WM_CREATE: {
        site = new AxSite(window);
        ::SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(site));
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (create->lpszName != nullptr && create->lpszName[0] != L'\0' && FAILED(site->CreateControl(create->lpszName))) {
            // A control that was made but could not be set up holds the
            // site as its client site: let go of each other now, or
            // neither is ever freed.
            site->Close();
            return -1;  // no control, no host: creation of the window fails
        }
        return 0;
    }
    case WM_SIZE:
        if (site != nullptr) site->Resize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_FORWARDMSG:
        return site != nullptr ? site->TranslateForwarded(reinterpret_cast<MSG*>(lParam)) : FALSE;
    case WM_DESTROY:
        if (site != nullptr) site->Close();
        break;
    case WM_NCDESTROY:
        if (site != nullptr) {
            ::SetWindowLongPtrW(window, 0, 0);
            site->Close();  // when no WM_DESTROY came (a failed creation)
            site->Release();
        }
        break;
    default:
        if (message == GetControlMessage() && message != 0) {
            auto** control = reinterpret_cast<IUnknown**>(wParam);
            return site != nullptr ? site->GetControl(control) : E_FAIL;
        }
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterHostClass(const wchar_t* name) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = HostWindowProc;
    wc.cbWndExtra = sizeof(AxSite*);
    wc.hInstance = GetModuleInstance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

BOOL AtlAxWinInit() {
    static const bool registered = RegisterHostClass(kAxHostClassName) && RegisterHostClass(kPlainHostClassName);
    return registered ? TRUE : FALSE;
}

HRESULT AtlAxGetControl(HWND host, IUnknown** control) {
    if (control == nullptr) return E_POINTER;
    *control = nullptr;
    if (!::IsWindow(host)) return E_INVALIDARG;
    wchar_t className[64] = L"";
    ::GetClassNameW(host, className, 64);
    if (::lstrcmpW(className, kAxHostClassName) != 0 && ::lstrcmpW(className, kPlainHostClassName) != 0) {
        return E_FAIL;
    }
    return static_cast<HRESULT>(::SendMessageW(host, GetControlMessage(), reinterpret_cast<WPARAM>(control), 0));
}

HRESULT CAxWindow::QueryControl(REFIID iid, void** out) const {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    ComPtr<IUnknown> control;
    const HRESULT hr = AtlAxGetControl(m_hWnd, control.Put());
    if (FAILED(hr)) return hr;
    return control->QueryInterface(iid, out);
}

}  // namespace ATL
