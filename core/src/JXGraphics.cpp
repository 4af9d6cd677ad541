#include "BrelioCore/JXGraphics.h"

#include "BrelioCore/UniqueHandle.h"

CJXGraphics::CJXGraphics(HDC dc) : m_dc(dc), m_saved(::SaveDC(dc)) {}

CJXGraphics::~CJXGraphics() {
    if (m_saved != 0) ::RestoreDC(m_dc, m_saved);
}

void CJXGraphics::FillRectangle(const RECT& rect, COLORREF color) {
    brelio::UniqueBrush brush(::CreateSolidBrush(color));
    if (brush) ::FillRect(m_dc, &rect, brush.Get());
}

bool CJXGraphics::DrawBitmap(HBITMAP bitmap, int x, int y) {
    BITMAP info = {};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(info), &info) == 0) return false;
    brelio::UniqueMemoryDC source(::CreateCompatibleDC(m_dc));
    if (!source) return false;
    const HGDIOBJ old = ::SelectObject(source.Get(), bitmap);
    const BOOL drawn = ::BitBlt(m_dc, x, y, info.bmWidth, info.bmHeight, source.Get(), 0, 0, SRCCOPY);
    ::SelectObject(source.Get(), old);
    return drawn != FALSE;
}

void CJXGraphics::DrawString(LPCWSTR text, int x, int y) {
    RECT rect = {x, y, x, y};
    DrawString(text, rect, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP | DT_LEFT | DT_TOP);
}

void CJXGraphics::DrawString(LPCWSTR text, const RECT& rect, UINT format) {
    if (text == nullptr) return;
    const int oldMode = ::SetBkMode(m_dc, TRANSPARENT);
    RECT area = rect;
    ::DrawTextW(m_dc, text, -1, &area, format);
    ::SetBkMode(m_dc, oldMode);
}

HFONT CJXGraphics::SelectFont(HFONT font) { return static_cast<HFONT>(::SelectObject(m_dc, font)); }

COLORREF CJXGraphics::SetTextColor(COLORREF color) { return ::SetTextColor(m_dc, color); }
