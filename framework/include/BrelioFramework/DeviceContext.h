#pragma once
#include <windows.h>

namespace ATL {

// BeginPaint/EndPaint for one WM_PAINT.
class CPaintDC {
public:
    explicit CPaintDC(HWND window) : m_window(window) { m_hDC = ::BeginPaint(window, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_window, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    operator HDC() const { return m_hDC; }
    const PAINTSTRUCT& Paint() const { return m_ps; }

    HDC m_hDC = nullptr;

private:
    HWND m_window;
    PAINTSTRUCT m_ps = {};
};

// A window's client-area DC for the scope (GetDC/ReleaseDC).
class CClientDC {
public:
    explicit CClientDC(HWND window) : m_window(window), m_hDC(::GetDC(window)) {}
    ~CClientDC() {
        if (m_hDC != nullptr) ::ReleaseDC(m_window, m_hDC);
    }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;

    operator HDC() const { return m_hDC; }

private:
    HWND m_window;
    HDC m_hDC;
};

// Selects a GDI object into a DC and puts the previous one back when the
// scope ends, so no object stays selected when it is deleted.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(object != nullptr ? ::SelectObject(dc, object) : nullptr) {}
    ~CSelectObject() {
        if (m_old != nullptr) ::SelectObject(m_dc, m_old);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

}  // namespace ATL
