#pragma once
#include <windows.h>

#include "BrelioFramework/MessageMap.h"
#include "BrelioFramework/Window.h"

namespace ATL {

// What windows and dialogs of the framework share: the message map, the
// message being processed, reflection and forwarding of notifications.
template <typename TBase = CWindow>
class CWindowImplRoot : public TBase, public CMessageMap {
public:
    const MSG* m_pCurrentMsg = nullptr;

    CWindowImplRoot() = default;
    CWindowImplRoot(const CWindowImplRoot&) = delete;
    CWindowImplRoot& operator=(const CWindowImplRoot&) = delete;
    virtual ~CWindowImplRoot() = default;

    // Sends a child's notification back to the child as OCM__BASE + message.
    LRESULT ReflectNotifications(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    // Wraps a command or notification into WM_FORWARDMSG for the parent.
    LRESULT ForwardNotifications(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    // A reflected message that the control's own map did not take.
    static BOOL DefaultReflectionHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
};

template <typename TBase>
LRESULT CWindowImplRoot<TBase>::ReflectNotifications(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    HWND child = nullptr;
    switch (message) {
    case WM_COMMAND:
        child = reinterpret_cast<HWND>(lParam);
        break;
    case WM_NOTIFY:
        child = reinterpret_cast<LPNMHDR>(lParam)->hwndFrom;
        break;
    case WM_PARENTNOTIFY:
        switch (LOWORD(wParam)) {
        case WM_CREATE:
        case WM_DESTROY:
            child = reinterpret_cast<HWND>(lParam);
            break;
        default:
            child = this->GetDlgItem(HIWORD(wParam));
            break;
        }
        break;
    case WM_DRAWITEM:
        if (wParam != 0) child = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam)->hwndItem;
        break;
    case WM_MEASUREITEM:
        if (wParam != 0) child = this->GetDlgItem(static_cast<int>(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam)->CtlID));
        break;
    case WM_COMPAREITEM:
        if (wParam != 0) child = reinterpret_cast<LPCOMPAREITEMSTRUCT>(lParam)->hwndItem;
        break;
    case WM_DELETEITEM:
        if (wParam != 0) child = reinterpret_cast<LPDELETEITEMSTRUCT>(lParam)->hwndItem;
        break;
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        child = reinterpret_cast<HWND>(lParam);
        break;
    default:
        break;
    }
    if (child == nullptr) {
        handled = FALSE;
        return 1;
    }
    return ::SendMessageW(child, OCM__BASE + message, wParam, lParam);
}

template <typename TBase>
LRESULT CWindowImplRoot<TBase>::ForwardNotifications(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_PARENTNOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_COMPAREITEM:
    case WM_DELETEITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        MSG forwarded = {this->m_hWnd, message, wParam, lParam, 0, {0, 0}};
        return ::SendMessageW(this->GetParent(), WM_FORWARDMSG, 0, reinterpret_cast<LPARAM>(&forwarded));
    }
    default:
        handled = FALSE;
        return 0;
    }
}

template <typename TBase>
BOOL CWindowImplRoot<TBase>::DefaultReflectionHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                      LRESULT& result) {
    switch (message) {
    case OCM_COMMAND:
    case OCM_NOTIFY:
    case OCM_PARENTNOTIFY:
    case OCM_DRAWITEM:
    case OCM_MEASUREITEM:
    case OCM_COMPAREITEM:
    case OCM_DELETEITEM:
    case OCM_VKEYTOITEM:
    case OCM_CHARTOITEM:
    case OCM_HSCROLL:
    case OCM_VSCROLL:
    case OCM_CTLCOLORBTN:
    case OCM_CTLCOLORDLG:
    case OCM_CTLCOLOREDIT:
    case OCM_CTLCOLORLISTBOX:
    case OCM_CTLCOLORMSGBOX:
    case OCM_CTLCOLORSCROLLBAR:
    case OCM_CTLCOLORSTATIC:
        result = ::DefWindowProcW(window, message - OCM__BASE, wParam, lParam);
        return TRUE;
    default:
        return FALSE;
    }
}

namespace detail {

// The framework object of a window lives in this window property from the
// window's first message to its last.
const wchar_t* WindowObjectProperty();
// The object whose window CreateWindowEx or CreateDialogParam is making on
// this thread; the class's start procedure takes it on the first message.
void SetObjectBeingCreated(void* object);
void* TakeObjectBeingCreated();

}  // namespace detail

}  // namespace ATL
