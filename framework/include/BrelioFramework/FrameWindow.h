#pragma once
#include <windows.h>

#include "BrelioFramework/WindowImpl.h"

namespace WTL {

// A top-level frame whose client area is one child window (m_hWndClient),
// kept at the full client size, with an optional accelerator table.
template <typename T, typename TBase = ATL::CWindow, typename TWinTraits = ATL::CFrameWinTraits>
class CFrameWindowImpl : public ATL::CWindowImpl<T, TBase, TWinTraits> {
public:
    HWND m_hWndClient = nullptr;
    HACCEL m_hAccel = nullptr;  // loaded by the frame, owned by the module

    // The frame's accelerators, when a table is loaded.
    BOOL PreTranslateMessage(MSG* msg) {
        if (m_hAccel != nullptr && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
            return ::TranslateAcceleratorW(this->m_hWnd, m_hAccel, msg) != 0;
        }
        return FALSE;
    }

    void UpdateLayout() {
        if (m_hWndClient == nullptr) return;
        RECT rect;
        this->GetClientRect(&rect);
        ::SetWindowPos(m_hWndClient, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }

    BEGIN_MSG_MAP(CFrameWindowImpl)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_SETFOCUS, OnSetFocus)
    END_MSG_MAP()

private:
    LRESULT OnSize(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
        if (wParam != SIZE_MINIMIZED) UpdateLayout();
        handled = FALSE;
        return 0;
    }
    LRESULT OnSetFocus(UINT, WPARAM, LPARAM, BOOL& handled) {
        if (m_hWndClient != nullptr && ::IsWindow(m_hWndClient)) ::SetFocus(m_hWndClient);
        handled = FALSE;
        return 1;
    }
};

}  // namespace WTL
