#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "BrelioApp/CustomUI.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/Controls.h"

// A push button that paints itself through NM_CUSTOMDRAW (common controls
// version 6): its state colours and caption. Abstract: the drawing of the
// state is the derived button's.
class CJXButton : public WTL::CButtonT<ATL::CWindow>, public CJXCustomUI {
public:
    // The default style of Create: a visible push-button child.
    static constexpr DWORD kDefaultStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | BS_PUSHBUTTON;

    // A "BUTTON" child of `parent`; style 0 takes the default. NULL on
    // failure. Plain buttons (with no object) are made by CreateButtonWindow.
    HWND Create(HWND parent, const RECT& rect, LPCWSTR caption, UINT id, DWORD style = 0);

    void SetColors(COLORREF normal, COLORREF hot, COLORREF disabled);
    void SetCaptionFont(HFONT font) { m_captionFont = font; }
    void SetCaptionColor(COLORREF color) { m_captionColor = color; }
    void DrawCaption(HDC dc, RECT* rect);

    // Draws the button at the pre-erase stage of its custom draw.
    LRESULT OnNotify(NMHDR* header, BOOL& handled) override;
    virtual LRESULT Draw(HDC dc, const RECT* rect, UINT itemState);

protected:
    COLORREF m_captionColor = RGB(0x00, 0x00, 0x00);
    COLORREF m_normalColor = 0xE6964B;
    COLORREF m_hotColor = 0xDE8E44;
    COLORREF m_disabledColor = 0xE6964B;
    HFONT m_captionFont = nullptr;  // not owned
    std::wstring m_caption;
};

// A self-drawn button with up to three state images (normal, hot,
// disabled) centred over its state colour, and an optional outline.
class CJXImageButton : public CJXButton {
public:
    HWND GetHwnd() const override { return m_hWnd; }
    LRESULT Draw(HDC dc, const RECT* rect, UINT itemState) override;

    // Appends the PNG resource (type "PNG" in the program) to the images.
    void LoadImages(HINSTANCE module, UINT resourceId, LPCWSTR resourceType);
    // Up to three ids in the order normal, hot, disabled; the list ends at
    // 0xFFFFFFFF or after the third. An id that cannot be loaded adds
    // nothing, so the later ones move up.
    void LoadImages(HINSTANCE module, const UINT* resourceIds, LPCWSTR resourceType);
    void SetBorderColor(COLORREF color) { m_borderColor = color; }
    HIMAGELIST GetImageList() const { return m_imageList.Get(); }

private:
    COLORREF m_borderColor = CLR_INVALID;
    brelio::UniqueImageList m_imageList;
};

// The window of a plain "BUTTON" child; the same creation as CJXButton's.
HWND CreateButtonWindow(HWND parent, const RECT& rect, LPCWSTR text, DWORD style, DWORD exStyle, UINT id);
