#pragma once
#include <windows.h>

#include "BrelioFramework/Module.h"
#include "BrelioFramework/WinTraits.h"
#include "BrelioFramework/WindowClass.h"
#include "BrelioFramework/WindowImplRoot.h"

namespace ATL {

// A window whose messages go through the object's message map. The object
// is found from the window through a window property, so windows of any
// class can be taken over (SubclassWindow) as well as created.
//
// The window's last message (WM_NCDESTROY) is followed by OnFinalMessage
// once every message of that window being processed has returned, so an
// object may delete itself there even when a handler destroyed its window.
template <typename TBase = CWindow, typename TWinTraits = CControlWinTraits>
class CWindowImplBaseT : public CWindowImplRoot<TBase> {
public:
    WNDPROC m_pfnSuperWindowProc = ::DefWindowProcW;

    virtual WNDPROC GetWindowProc() { return WindowProc; }
    virtual void OnFinalMessage(HWND /*window*/) {}

    // The handle is let go with the final message, not here: an object that
    // deletes itself in OnFinalMessage is gone by the time ::DestroyWindow
    // returns, so nothing may be written into it afterwards.
    BOOL DestroyWindow() { return ::DestroyWindow(this->m_hWnd); }

    // Takes over an existing window; FALSE when it is already taken.
    BOOL SubclassWindow(HWND window);
    // Gives the window back to its own procedure; NULL when that cannot be
    // done safely (someone subclassed it after us).
    HWND UnsubclassWindow();

    // The processing the window would get without this object.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
        return ::CallWindowProcW(m_pfnSuperWindowProc, this->m_hWnd, message, wParam, lParam);
    }
    LRESULT DefWindowProc() {
        const MSG* msg = this->m_pCurrentMsg;
        return msg == nullptr ? 0 : DefWindowProc(msg->message, msg->wParam, msg->lParam);
    }

    static LRESULT CALLBACK StartWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    HWND CreateOfClass(ATOM atom, HWND parent, const RECT& rect, LPCWSTR text, DWORD style, DWORD exStyle,
                       UINT_PTR idOrMenu, LPVOID param);

private:
    bool m_destroyed = false;  // WM_NCDESTROY seen while a message was still being processed
};

template <typename TBase, typename TWinTraits>
HWND CWindowImplBaseT<TBase, TWinTraits>::CreateOfClass(ATOM atom, HWND parent, const RECT& rect, LPCWSTR text,
                                                         DWORD style, DWORD exStyle, UINT_PTR idOrMenu,
                                                         LPVOID param) {
    if (this->m_hWnd != nullptr) AtlThrow(E_UNEXPECTED);  // one window per object
    if (atom == 0) return nullptr;
    m_destroyed = false;
    detail::SetObjectBeingCreated(this);
    HWND window = ::CreateWindowExW(exStyle, MAKEINTATOM(atom), text, style, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top, parent,
                                    reinterpret_cast<HMENU>(idOrMenu), GetModuleInstance(), param);
    detail::TakeObjectBeingCreated();  // clear it when the window never got a message
    return window;
}

template <typename TBase, typename TWinTraits>
LRESULT CALLBACK CWindowImplBaseT<TBase, TWinTraits>::StartWindowProc(HWND window, UINT message, WPARAM wParam,
                                                                       LPARAM lParam) {
    auto* self = static_cast<CWindowImplBaseT*>(detail::TakeObjectBeingCreated());
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    self->m_hWnd = window;
    ::SetPropW(window, detail::WindowObjectProperty(), self);
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->GetWindowProc()));
    return self->GetWindowProc()(window, message, wParam, lParam);
}

template <typename TBase, typename TWinTraits>
LRESULT CALLBACK CWindowImplBaseT<TBase, TWinTraits>::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                                  LPARAM lParam) {
    auto* self = static_cast<CWindowImplBaseT*>(::GetPropW(window, detail::WindowObjectProperty()));
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);

    MSG current = {window, message, wParam, lParam, 0, {0, 0}};
    const MSG* outer = self->m_pCurrentMsg;
    self->m_pCurrentMsg = &current;
    LRESULT result = 0;
    const BOOL handled = self->ProcessWindowMessage(window, message, wParam, lParam, result, 0);
    self->m_pCurrentMsg = outer;

    if (message == WM_NCDESTROY) {
        if (!handled) result = self->DefWindowProc(message, wParam, lParam);
        self->m_destroyed = true;
    } else if (!handled) {
        result = self->DefWindowProc(message, wParam, lParam);
    }
    if (self->m_destroyed && outer == nullptr) {
        // The outermost message of a destroyed window has returned: the
        // object lets go of it and may now delete itself.
        ::RemovePropW(window, detail::WindowObjectProperty());
        if (self->m_pfnSuperWindowProc != ::DefWindowProcW &&
            ::GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(self->GetWindowProc())) {
            ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->m_pfnSuperWindowProc));
        }
        self->m_destroyed = false;
        self->m_hWnd = nullptr;
        self->OnFinalMessage(window);
    }
    return result;
}

template <typename TBase, typename TWinTraits>
BOOL CWindowImplBaseT<TBase, TWinTraits>::SubclassWindow(HWND window) {
    if (this->m_hWnd != nullptr || !::IsWindow(window)) return FALSE;
    if (::GetPropW(window, detail::WindowObjectProperty()) != nullptr) return FALSE;
    this->m_hWnd = window;
    ::SetPropW(window, detail::WindowObjectProperty(), this);
    m_pfnSuperWindowProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GetWindowProc())));
    return TRUE;
}

template <typename TBase, typename TWinTraits>
HWND CWindowImplBaseT<TBase, TWinTraits>::UnsubclassWindow() {
    HWND window = this->m_hWnd;
    if (window == nullptr) return nullptr;
    if (::GetWindowLongPtrW(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(GetWindowProc())) return nullptr;
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuperWindowProc));
    ::RemovePropW(window, detail::WindowObjectProperty());
    m_pfnSuperWindowProc = ::DefWindowProcW;
    this->m_hWnd = nullptr;
    return window;
}

// A window of the framework with its own window class (DECLARE_WND_CLASS in
// T; without it the class gets a generated name).
template <typename T, typename TBase = CWindow, typename TWinTraits = CControlWinTraits>
class CWindowImpl : public CWindowImplBaseT<TBase, TWinTraits> {
public:
    DECLARE_WND_CLASS(nullptr)

    static DWORD GetWndStyle(DWORD style) { return TWinTraits::GetWndStyle(style); }
    static DWORD GetWndExStyle(DWORD exStyle) { return TWinTraits::GetWndExStyle(exStyle); }

    // Style and extended style 0 take the traits' defaults. NULL on failure.
    HWND Create(HWND parent, const RECT& rect = RECT{}, LPCWSTR text = nullptr,
                DWORD style = 0, DWORD exStyle = 0, UINT_PTR idOrMenu = 0,
                LPVOID param = nullptr) {
        CWndClassInfo& info = T::GetWndClassInfo();
        const ATOM atom = info.Register(&CWindowImpl::StartWindowProc);
        if (info.superProc != nullptr) this->m_pfnSuperWindowProc = info.superProc;
        return this->CreateOfClass(atom, parent, rect, text, T::GetWndStyle(style), T::GetWndExStyle(exStyle),
                                   idOrMenu, param);
    }
};

}  // namespace ATL
