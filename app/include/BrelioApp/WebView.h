#pragma once
#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>

#include "BrelioCore/ComPtr.h"
#include "BrelioFramework/DispEvent.h"
#include "BrelioFramework/MessageMap.h"
#include "BrelioFramework/WindowImpl.h"

// The event sink of the hosted web browser. Of its events only
// DocumentComplete matters: each loaded page (or frame) is handed to the
// callback with its browser and address.
class CWebBrowserEvent : public ATL::IDispEventSimpleImpl<1, CWebBrowserEvent, &DIID_DWebBrowserEvents2> {
public:
    class ICallback {
    public:
        // The browser and the address are the caller's; use them only
        // during the call.
        virtual void OnDocumentComplete(IWebBrowser2* browser, const wchar_t* address) = 0;

    protected:
        ~ICallback() = default;
    };

    CWebBrowserEvent() = default;
    CWebBrowserEvent(const CWebBrowserEvent&) = delete;
    CWebBrowserEvent& operator=(const CWebBrowserEvent&) = delete;
    ~CWebBrowserEvent() = default;

    void SetCallback(ICallback* callback) { m_callback = callback; }
    bool IsConnected() const { return m_dwEventCookie != kNotConnected; }

    void OnDocumentComplete(IDispatch* document, VARIANT* address);

    BEGIN_SINK_MAP(CWebBrowserEvent)
        SINK_ENTRY_EX(1, DIID_DWebBrowserEvents2, DISPID_DOCUMENTCOMPLETE, &CWebBrowserEvent::OnDocumentComplete)
    END_SINK_MAP()

private:
    ICallback* m_callback = nullptr;  // not owned
};

// A child window that hosts the system's WebBrowser control through the
// framework's ActiveX host, opened at an address, with its page-loaded
// events going to a callback.
class CWebView : public ATL::CWindowImpl<CWebView, ATL::CWindow, ATL::CControlWinTraits> {
public:
    DECLARE_WND_CLASS_EX(nullptr, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, COLOR_WINDOW)

    CWebView();
    ~CWebView() override;

    // The view's window, or NULL when it cannot be made. A browser that
    // cannot be created or connected leaves an empty view: no page ever
    // completes.
    HWND Create(HWND parent, const RECT& rect, const wchar_t* address, CWebBrowserEvent::ICallback* callback,
                bool scrollBars);
    // Gives keyboard and mouse messages to the browser first (its own Tab,
    // accelerators and text entry); non-zero when it consumed one.
    BOOL PreTranslateMessage(MSG* msg);

    [[nodiscard]] HRESULT AdviseBrowserEvents();
    void UnadviseBrowserEvents();

    HWND GetBrowserWindow() const { return m_browserWindow; }
    bool IsSinkConnected() const { return m_events.IsConnected(); }

    BEGIN_MSG_MAP(CWebView)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    END_MSG_MAP()

    void OnFinalMessage(HWND window) override;

private:
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);

    HWND m_browserWindow = nullptr;
    CWebBrowserEvent m_events;
    // The browser the sink is connected to, kept until it is disconnected:
    // the sink is let go of even when the host window went first.
    brelio::ComPtr<IWebBrowser2> m_connectedBrowser;
};
