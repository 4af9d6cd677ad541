#include "BrelioFramework/Window.h"

#include "BrelioFramework/Module.h"

namespace ATL {

HWND CWindow::Create(LPCWSTR className, HWND parent, const RECT& rect, LPCWSTR text, DWORD style, DWORD exStyle,
                     UINT_PTR idOrMenu, LPVOID param) {
    m_hWnd = ::CreateWindowExW(exStyle, className, text, style, rect.left, rect.top, rect.right - rect.left,
                               rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(idOrMenu),
                               GetModuleInstance(), param);
    return m_hWnd;
}

BOOL CWindow::DestroyWindow() {
    if (!::DestroyWindow(m_hWnd)) return FALSE;
    m_hWnd = nullptr;
    return TRUE;
}

std::wstring CWindow::GetWindowText() const {
    const int length = ::GetWindowTextLengthW(m_hWnd);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(m_hWnd, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

BOOL CWindow::CenterWindow(HWND over) {
    if (over == nullptr) {
        over = (GetStyle() & WS_CHILD) != 0 ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER);
    }
    RECT self;
    if (!GetWindowRect(&self)) return FALSE;
    RECT area;
    MONITORINFO monitor = {sizeof(monitor), {}, {}, 0};
    const HMONITOR where = ::MonitorFromWindow(over != nullptr ? over : m_hWnd, MONITOR_DEFAULTTONEAREST);
    if (!::GetMonitorInfoW(where, &monitor)) return FALSE;
    area = monitor.rcWork;
    RECT centre = area;
    if (over != nullptr && ::IsWindowVisible(over) && !::IsIconic(over)) ::GetWindowRect(over, &centre);
    if (over == ::GetDesktopWindow()) centre = area;

    const LONG width = self.right - self.left;
    const LONG height = self.bottom - self.top;
    LONG left = (centre.left + centre.right) / 2 - width / 2;
    LONG top = (centre.top + centre.bottom) / 2 - height / 2;
    if ((GetStyle() & WS_CHILD) == 0) {
        if (left + width > area.right) left = area.right - width;
        if (left < area.left) left = area.left;
        if (top + height > area.bottom) top = area.bottom - height;
        if (top < area.top) top = area.top;
    } else {
        POINT corner = {left, top};
        ::ScreenToClient(::GetParent(m_hWnd), &corner);
        left = corner.x;
        top = corner.y;
    }
    return ::SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace ATL
