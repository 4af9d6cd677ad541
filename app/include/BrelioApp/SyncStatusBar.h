#pragma once
#include <windows.h>

#include <string>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/MessageMap.h"
#include "BrelioFramework/WindowImpl.h"

// The one-line status bar under the sync list: the latest status message,
// centred, over a separator line along its top edge.
class CSyncStatusBar : public ATL::CWindowImpl<CSyncStatusBar, ATL::CWindow, ATL::CControlWinTraits> {
public:
    DECLARE_WND_CLASS(L"BrelioDrive.SyncStatusBar")

    HWND Create(HWND parent, const RECT& rect);
    // The panel's font; not owned.
    void SetFont(HFONT font) { m_font = font; }
    // Replaces the text and repaints at once.
    void SetText(const std::wstring& text);
    const std::wstring& GetText() const { return m_text; }

    BEGIN_MSG_MAP(CSyncStatusBar)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
    END_MSG_MAP()

private:
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEraseBackground(UINT, WPARAM wParam, LPARAM, BOOL&);
    void DrawTopLine(HDC dc);

    HFONT m_font = nullptr;  // not owned
    brelio::UniquePen m_topLinePen;
    std::wstring m_text;
};
