#pragma once
#include <windows.h>

#include "BrelioFramework/Module.h"
#include "BrelioFramework/WindowImplRoot.h"

namespace ATL {

// A dialog from a template of this module (T::IDD), modal or modeless,
// whose messages go through the object's message map. A handled message's
// result is the dialog's answer: returned directly for the messages that
// answer that way (WM_INITDIALOG, WM_CTLCOLOR..., ...), otherwise stored
// as DWLP_MSGRESULT.
template <typename TBase = CWindow>
class CDialogImplBaseT : public CWindowImplRoot<TBase> {
public:
    virtual DLGPROC GetDialogProc() { return DialogProc; }
    virtual void OnFinalMessage(HWND /*window*/) {}

    static INT_PTR CALLBACK StartDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    bool m_modal = false;

private:
    bool m_destroyed = false;
};

template <typename TBase>
INT_PTR CALLBACK CDialogImplBaseT<TBase>::StartDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<CDialogImplBaseT*>(detail::TakeObjectBeingCreated());
    if (self == nullptr) return FALSE;
    self->m_hWnd = window;
    ::SetPropW(window, detail::WindowObjectProperty(), self);
    ::SetWindowLongPtrW(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(self->GetDialogProc()));
    return self->GetDialogProc()(window, message, wParam, lParam);
}

template <typename TBase>
INT_PTR CALLBACK CDialogImplBaseT<TBase>::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<CDialogImplBaseT*>(::GetPropW(window, detail::WindowObjectProperty()));
    if (self == nullptr) return FALSE;

    MSG current = {window, message, wParam, lParam, 0, {0, 0}};
    const MSG* outer = self->m_pCurrentMsg;
    self->m_pCurrentMsg = &current;
    LRESULT result = 0;
    const BOOL handled = self->ProcessWindowMessage(window, message, wParam, lParam, result, 0);
    self->m_pCurrentMsg = outer;

    INT_PTR answer = FALSE;
    if (handled) {
        switch (message) {
        case WM_INITDIALOG:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            answer = result;
            break;
        default:
            if (message != WM_NCDESTROY) ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
            answer = TRUE;
            break;
        }
    }
    if (message == WM_NCDESTROY) self->m_destroyed = true;
    if (self->m_destroyed && outer == nullptr) {
        ::RemovePropW(window, detail::WindowObjectProperty());
        self->m_destroyed = false;
        self->m_hWnd = nullptr;
        self->OnFinalMessage(window);
    }
    return answer;
}

template <typename T, typename TBase = CWindow>
class CDialogImpl : public CDialogImplBaseT<TBase> {
public:
    // Runs the dialog modally; its EndDialog value, or -1 when the template
    // is missing or the dialog cannot be made.
    INT_PTR DoModal(HWND parent = ::GetActiveWindow(), LPARAM initParam = 0) {
        if (this->m_hWnd != nullptr) AtlThrow(E_UNEXPECTED);
        this->m_modal = true;
        detail::SetObjectBeingCreated(this);
        const INT_PTR result = ::DialogBoxParamW(GetModuleInstance(), MAKEINTRESOURCEW(T::IDD), parent,
                                                 &CDialogImpl::StartDialogProc, initParam);
        detail::TakeObjectBeingCreated();
        return result;
    }

    // Makes the dialog modeless (a child page when the template says
    // WS_CHILD); NULL on failure.
    HWND Create(HWND parent, LPARAM initParam = 0) {
        if (this->m_hWnd != nullptr) AtlThrow(E_UNEXPECTED);
        this->m_modal = false;
        detail::SetObjectBeingCreated(this);
        HWND window = ::CreateDialogParamW(GetModuleInstance(), MAKEINTRESOURCEW(T::IDD), parent,
                                           &CDialogImpl::StartDialogProc, initParam);
        detail::TakeObjectBeingCreated();
        return window;
    }

    // Ends a modal dialog with the result; a modeless one is hidden, and
    // its owner destroys it.
    BOOL EndDialog(INT_PTR result) { return ::EndDialog(this->m_hWnd, result); }
};

}  // namespace ATL
