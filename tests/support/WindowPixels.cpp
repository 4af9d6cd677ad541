#include "WindowPixels.h"

#include <objidl.h>

#include <gdiplus.h>

#include <algorithm>

#include "BrelioCore/UniqueHandle.h"

namespace flat = Gdiplus::DllExports;

namespace brelio::test {

namespace {

// A copy of the window's client area in a 32-bit top-down DIB section.
bool CopyClient(HWND window, UniqueBitmap& bitmap, int& width, int& height, DWORD*& bits) {
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT client;
    if (!::GetClientRect(window, &client)) return false;
    width = client.right - client.left;
    height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return false;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* raw = nullptr;
    HDC screen = ::GetDC(window);
    bitmap.Reset(::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &raw, nullptr, 0));
    UniqueMemoryDC memory(::CreateCompatibleDC(screen));
    bool copied = false;
    if (bitmap && memory) {
        const HGDIOBJ old = ::SelectObject(memory.Get(), bitmap.Get());
        copied = ::BitBlt(memory.Get(), 0, 0, width, height, screen, 0, 0, SRCCOPY) != FALSE;
        ::SelectObject(memory.Get(), old);
    }
    ::ReleaseDC(window, screen);
    bits = static_cast<DWORD*>(raw);
    return copied;
}

bool FindPngEncoder(CLSID& encoder) {
    UINT count = 0;
    UINT size = 0;
    if (flat::GdipGetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (flat::GdipGetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType != nullptr && ::lstrcmpiW(codecs[i].MimeType, L"image/png") == 0) {
            encoder = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

}  // namespace

bool CWindowPixels::Capture(HWND window) {
    UniqueBitmap bitmap;
    DWORD* bits = nullptr;
    if (!CopyClient(window, bitmap, m_width, m_height, bits) || bits == nullptr) return false;
    m_bits.assign(bits, bits + static_cast<size_t>(m_width) * static_cast<size_t>(m_height));
    for (DWORD& pixel : m_bits) pixel &= 0x00FFFFFF;
    return true;
}

COLORREF CWindowPixels::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return CLR_INVALID;
    const DWORD pixel = m_bits[static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

int CWindowPixels::Count(const RECT& area, COLORREF colour, int tolerance, Distance counted) const {
    const auto channelDistance = [](int a, int b) { return a > b ? a - b : b - a; };
    int count = 0;
    for (int y = std::max(0, static_cast<int>(area.top)); y < std::min(m_height, static_cast<int>(area.bottom)); ++y) {
        for (int x = std::max(0, static_cast<int>(area.left)); x < std::min(m_width, static_cast<int>(area.right)); ++x) {
            const COLORREF pixel = At(x, y);
            const int distance = std::max({channelDistance(GetRValue(pixel), GetRValue(colour)),
                                           channelDistance(GetGValue(pixel), GetGValue(colour)),
                                           channelDistance(GetBValue(pixel), GetBValue(colour))});
            if ((distance <= tolerance) == (counted == Distance::kWithin)) ++count;
        }
    }
    return count;
}

int CWindowPixels::CountNear(const RECT& area, COLORREF colour, int tolerance) const {
    return Count(area, colour, tolerance, Distance::kWithin);
}

int CWindowPixels::CountDrawn(const RECT& area, COLORREF background, int tolerance) const {
    return Count(area, background, tolerance, Distance::kBeyond);
}

RECT PlaceIn(HWND window, HWND part) {
    RECT rect = {};
    ::GetWindowRect(part, &rect);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::wstring SaveWindowShot(HWND window, const std::wstring& name) {
    UniqueBitmap bitmap;
    int width = 0;
    int height = 0;
    DWORD* bits = nullptr;
    if (!CopyClient(window, bitmap, width, height, bits)) return std::wstring();
    const std::wstring folder = BRELIO_SCREENSHOT_DIR;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\" + name + L".png";

    CLSID encoder;
    if (!FindPngEncoder(encoder)) return std::wstring();
    Gdiplus::GpBitmap* image = nullptr;
    if (flat::GdipCreateBitmapFromHBITMAP(bitmap.Get(), nullptr, &image) != Gdiplus::Ok) return std::wstring();
    UniqueGdiplusImage owned(image);
    if (flat::GdipSaveImageToFile(image, path.c_str(), &encoder, nullptr) != Gdiplus::Ok) return std::wstring();
    return path;
}

}  // namespace brelio::test
