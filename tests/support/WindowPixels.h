#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace brelio::test {

// The pixels of a window's client area as they are on screen, read back
// with GDI, so that a test asserts what was really painted.
class CWindowPixels {
public:
    // Repaints the window first (and its children), then copies it.
    bool Capture(HWND window);
    COLORREF At(int x, int y) const;
    // The pixels of `area` (client coordinates, clipped to the capture)
    // within `tolerance` of `colour` in each of red, green and blue.
    int CountNear(const RECT& area, COLORREF colour, int tolerance = 0) const;
    // The pixels of `area` further than `tolerance` from `background` in
    // red, green or blue: what was drawn there, such as a text's glyphs.
    int CountDrawn(const RECT& area, COLORREF background, int tolerance = 48) const;
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    const std::vector<DWORD>& Bits() const { return m_bits; }  // top-down 0x00RRGGBB

private:
    enum class Distance { kWithin, kBeyond };
    // The pixels of `area` whose distance from `colour` is within
    // `tolerance` or beyond it.
    int Count(const RECT& area, COLORREF colour, int tolerance, Distance counted) const;

    int m_width = 0;
    int m_height = 0;
    std::vector<DWORD> m_bits;
};

// Where `part` (a child window, say) lies in the client coordinates of
// `window`, in which a capture of `window` counts its pixels.
RECT PlaceIn(HWND window, HWND part);

// Writes a PNG of the window's client area into the build folder's
// "screenshots" folder as <name>.png, for a person to look at; tests assert
// behaviour, not pictures. The full path, or empty when it failed.
std::wstring SaveWindowShot(HWND window, const std::wstring& name);

}  // namespace brelio::test
