#include "BrelioApp/SyncStatusBar.h"

#include "BrelioFramework/DeviceContext.h"

HWND CSyncStatusBar::Create(HWND parent, const RECT& rect) {
    m_topLinePen.Reset(::CreatePen(PS_SOLID, 0, 0xDDDDDD));
    return ATL::CWindowImpl<CSyncStatusBar, ATL::CWindow, ATL::CControlWinTraits>::Create(parent, rect);
}

void CSyncStatusBar::SetText(const std::wstring& text) {
    m_text = text;
    if (m_hWnd == nullptr) return;
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    ::UpdateWindow(m_hWnd);
}

void CSyncStatusBar::DrawTopLine(HDC dc) {
    RECT client;
    GetClientRect(&client);
    ATL::CSelectObject pen(dc, m_topLinePen.Get());
    ::MoveToEx(dc, client.left, client.top, nullptr);
    ::LineTo(dc, client.right, client.top);
}

LRESULT CSyncStatusBar::OnEraseBackground(UINT, WPARAM wParam, LPARAM, BOOL&) {
    DrawTopLine(reinterpret_cast<HDC>(wParam));
    return 1;
}

LRESULT CSyncStatusBar::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
    ATL::CPaintDC dc(m_hWnd);
    RECT client;
    GetClientRect(&client);
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    // The separator shows above the text: the fill would otherwise cover
    // the line drawn with the background.
    DrawTopLine(dc);
    ATL::CSelectObject font(dc, m_font);
    const COLORREF oldColor = ::SetTextColor(dc, 0x555555);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    ::DrawTextW(dc, m_text.c_str(), static_cast<int>(m_text.size()), &client,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::SetBkMode(dc, oldMode);
    ::SetTextColor(dc, oldColor);
    return 0;
}
