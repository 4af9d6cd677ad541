#pragma once
#include <windows.h>

#include <string>

namespace ATL {

// A window handle with the calls made on it. It owns nothing: copying it
// copies the handle, and destroying the object leaves the window alone.
class CWindow {
public:
    HWND m_hWnd = nullptr;

    CWindow(HWND window = nullptr) : m_hWnd(window) {}  // NOLINT: a handle is a window
    CWindow& operator=(HWND window) {
        m_hWnd = window;
        return *this;
    }
    operator HWND() const { return m_hWnd; }

    void Attach(HWND window) { m_hWnd = window; }
    HWND Detach() {
        HWND window = m_hWnd;
        m_hWnd = nullptr;
        return window;
    }

    // Creates a window of an existing class; the handle is kept and returned
    // (NULL on failure, with the thread's last error).
    HWND Create(LPCWSTR className, HWND parent, const RECT& rect, LPCWSTR text, DWORD style, DWORD exStyle = 0,
                UINT_PTR idOrMenu = 0, LPVOID param = nullptr);
    BOOL DestroyWindow();

    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL UpdateWindow() { return ::UpdateWindow(m_hWnd); }
    BOOL Invalidate(BOOL erase = TRUE) { return ::InvalidateRect(m_hWnd, nullptr, erase); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }

    HWND GetParent() const { return ::GetParent(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }

    BOOL SetWindowText(LPCWSTR text) { return ::SetWindowTextW(m_hWnd, text); }
    std::wstring GetWindowText() const;
    BOOL SetDlgItemText(int id, LPCWSTR text) { return ::SetDlgItemTextW(m_hWnd, id, text); }
    std::wstring GetDlgItemText(int id) const { return CWindow(GetDlgItem(id)).GetWindowText(); }
    BOOL CheckDlgButton(int id, UINT check) { return ::CheckDlgButton(m_hWnd, id, check); }
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }

    BOOL GetClientRect(RECT* rect) const { return ::GetClientRect(m_hWnd, rect); }
    BOOL GetWindowRect(RECT* rect) const { return ::GetWindowRect(m_hWnd, rect); }
    BOOL MoveWindow(const RECT& rect, BOOL repaint = TRUE) {
        return ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
    }
    BOOL SetWindowPos(HWND after, const RECT* rect, UINT flags) {
        return rect == nullptr ? ::SetWindowPos(m_hWnd, after, 0, 0, 0, 0, flags)
                               : ::SetWindowPos(m_hWnd, after, rect->left, rect->top, rect->right - rect->left,
                                                rect->bottom - rect->top, flags);
    }
    // Centres the window over another window (its parent or owner when
    // NULL), kept inside that monitor's work area.
    BOOL CenterWindow(HWND over = nullptr);

    void SetFont(HFONT font, BOOL redraw = TRUE) {
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), MAKELPARAM(redraw, 0));
    }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    HICON SetIcon(HICON icon, BOOL big) {
        return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL,
                                                   reinterpret_cast<LPARAM>(icon)));
    }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
};

}  // namespace ATL
