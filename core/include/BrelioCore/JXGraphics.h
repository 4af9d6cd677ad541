#pragma once
#include <windows.h>

// Drawing on a device context for the length of a paint. Everything it
// changes in the DC (font, colours, background mode) is put back when the
// object goes.
class CJXGraphics {
public:
    explicit CJXGraphics(HDC dc);
    ~CJXGraphics();
    CJXGraphics(const CJXGraphics&) = delete;
    CJXGraphics& operator=(const CJXGraphics&) = delete;

    HDC GetDC() const { return m_dc; }

    void FillRectangle(const RECT& rect, COLORREF color);
    // At its own size, top-left corner at (x, y). False for no bitmap.
    bool DrawBitmap(HBITMAP bitmap, int x, int y);
    // One line, transparent background, from (x, y); no prefix or clipping.
    void DrawString(LPCWSTR text, int x, int y);
    // In a rectangle with DrawTextW's flags, transparent background.
    void DrawString(LPCWSTR text, const RECT& rect, UINT format);

    // Each returns the previous setting.
    HFONT SelectFont(HFONT font);
    COLORREF SetTextColor(COLORREF color);

private:
    HDC m_dc;
    int m_saved;
};
