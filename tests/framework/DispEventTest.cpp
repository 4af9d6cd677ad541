#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>

#include <gtest/gtest.h>

#include <string>

#include "BrelioCore/ComPtr.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/AxHost.h"
#include "BrelioFramework/DispEvent.h"
#include "BrelioFramework/MessageMap.h"
#include "BrelioFramework/Window.h"

namespace {

// A sink with one handler, as the web view's: DocumentComplete with the
// browser's dispatch and the address by reference.
class CDocumentSink : public ATL::IDispEventSimpleImpl<1, CDocumentSink, &DIID_DWebBrowserEvents2> {
public:
    int calls = 0;
    IDispatch* lastDispatch = nullptr;
    std::wstring lastAddress;

    void OnDocumentComplete(IDispatch* browser, VARIANT* address) {
        ++calls;
        lastDispatch = browser;
        lastAddress = address != nullptr && address->vt == VT_BSTR && address->bstrVal != nullptr ? address->bstrVal : L"";
    }

    BEGIN_SINK_MAP(CDocumentSink)
        SINK_ENTRY_EX(1, DIID_DWebBrowserEvents2, DISPID_DOCUMENTCOMPLETE, &CDocumentSink::OnDocumentComplete)
    END_SINK_MAP()
};

// Calls the sink as a control's connection point would: arguments last
// first.
HRESULT Fire(IDispatch* sink, DISPID dispid, VARIANT* args, UINT count) {
    DISPPARAMS params = {args, nullptr, count, 0};
    return sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

}  // namespace

TEST(DispEvent, EventsReachTheMappedHandlerWithTheirArguments) {
    CDocumentSink sink;
    brelio::UniqueBstr address(::SysAllocString(L"https://tenant.example/auth/signin/finalize"));
    VARIANT url;
    ::VariantInit(&url);
    url.vt = VT_BSTR;
    url.bstrVal = address.Get();
    VARIANT args[2];
    args[0].vt = VT_BYREF | VT_VARIANT;  // the address, last argument
    args[0].pvarVal = &url;
    args[1].vt = VT_DISPATCH;  // the browser, first argument
    args[1].pdispVal = &sink;

    EXPECT_EQ(Fire(&sink, DISPID_DOCUMENTCOMPLETE, args, 2), S_OK);
    EXPECT_EQ(sink.calls, 1);
    EXPECT_EQ(sink.lastDispatch, static_cast<IDispatch*>(&sink));
    EXPECT_EQ(sink.lastAddress, L"https://tenant.example/auth/signin/finalize");

    // Other events are ignored; wrong arguments never reach the handler.
    EXPECT_EQ(Fire(&sink, DISPID_NAVIGATECOMPLETE2, args, 2), S_OK);
    EXPECT_EQ(Fire(&sink, DISPID_DOCUMENTCOMPLETE, args, 1), DISP_E_BADPARAMCOUNT);
    args[1].vt = VT_I4;
    EXPECT_EQ(Fire(&sink, DISPID_DOCUMENTCOMPLETE, args, 2), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(sink.calls, 1);
}

TEST(DispEvent, AnswersItsInterfacesAndIsNotCounted) {
    CDocumentSink sink;
    for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &DIID_DWebBrowserEvents2}) {
        brelio::ComPtr<IUnknown> answer;
        EXPECT_EQ(sink.QueryInterface(*iid, answer.PutVoid()), S_OK);
    }
    void* none = &sink;
    EXPECT_EQ(sink.QueryInterface(IID_IOleObject, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(sink.AddRef(), 1u);
    EXPECT_EQ(sink.Release(), 1u);
    EXPECT_EQ(sink.GetTypeInfo(0, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(sink.m_dwEventCookie, 0xFEFEFEFEu);
}

namespace {

class CHostParent : public ATL::CWindow {
public:
    CHostParent() {
        Create(L"STATIC", nullptr, RECT{0, 0, 640, 480}, L"host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
    }
    ~CHostParent() { DestroyWindow(); }
};

}  // namespace

TEST(AxHost, HostsTheWebBrowserAndConnectsItsEvents) {
    ASSERT_TRUE(ATL::AtlAxWinInit());
    CHostParent parent;
    ASSERT_TRUE(parent.IsWindow());
    ATL::CAxWindow host;
    ASSERT_NE(host.Create(ATL::kAxHostClassName, parent, RECT{0, 0, 640, 480}, L"about:blank",
                          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL),
              nullptr);
    brelio::ComPtr<IWebBrowser2> browser;
    ASSERT_EQ(host.QueryControl(browser.Put()), S_OK);

    CDocumentSink sink;
    ASSERT_EQ(sink.DispEventAdvise(browser.Get()), S_OK);
    EXPECT_NE(sink.m_dwEventCookie, 0xFEFEFEFEu);
    EXPECT_EQ(sink.DispEventAdvise(browser.Get()), E_FAIL) << "already connected";

    // Keyboard messages forwarded to the host go to the control, which
    // takes none of these.
    MSG msg = {host, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
    EXPECT_EQ(host.SendMessage(WM_FORWARDMSG, 0, reinterpret_cast<LPARAM>(&msg)), FALSE);
    host.MoveWindow(RECT{0, 0, 320, 240});

    EXPECT_EQ(sink.DispEventUnadvise(browser.Get()), S_OK);
    EXPECT_EQ(sink.m_dwEventCookie, 0xFEFEFEFEu);
    host.DestroyWindow();
    brelio::ComPtr<IUnknown> gone;
    EXPECT_TRUE(FAILED(ATL::AtlAxGetControl(host, gone.Put())));
}

TEST(AxHost, ControlThatCannotBeMadeFailsTheWindow) {
    ASSERT_TRUE(ATL::AtlAxWinInit());
    CHostParent parent;
    ATL::CAxWindow host;
    EXPECT_EQ(host.Create(ATL::kAxHostClassName, parent, RECT{0, 0, 10, 10}, L"{6A1F0E10-0000-4000-8000-0000000000FF}",
                          WS_CHILD),
              nullptr);
    ATL::CWindow notAHost(parent);
    brelio::ComPtr<IUnknown> control;
    EXPECT_EQ(ATL::AtlAxGetControl(notAHost, control.Put()), E_FAIL);
}
