#include "BrelioApp/JXButton.h"

#include "BrelioApp/PngBitmap.h"
#include "BrelioFramework/DeviceContext.h"

HWND CreateButtonWindow(HWND parent, const RECT& rect, LPCWSTR text, DWORD style, DWORD exStyle, UINT id) {
    ATL::CWindow button;
    return button.Create(WC_BUTTONW, parent, rect, text, style, exStyle, id);
}

HWND CJXButton::Create(HWND parent, const RECT& rect, LPCWSTR caption, UINT id, DWORD style) {
    m_caption = caption != nullptr ? caption : L"";
    m_hWnd = CreateButtonWindow(parent, rect, m_caption.c_str(), style != 0 ? style : kDefaultStyle, 0, id);
    return m_hWnd;
}

void CJXButton::SetColors(COLORREF normal, COLORREF hot, COLORREF disabled) {
    m_normalColor = normal;
    m_hotColor = hot;
    m_disabledColor = disabled;
}

LRESULT CJXButton::OnNotify(NMHDR* header, BOOL& handled) {
    if (header == nullptr || header->hwndFrom != m_hWnd) {
        handled = FALSE;
        return 0;
    }
    auto* draw = reinterpret_cast<NMCUSTOMDRAW*>(header);
    if (draw->dwDrawStage != CDDS_PREERASE) return 0;
    handled = TRUE;
    return Draw(draw->hdc, &draw->rc, draw->uItemState);
}

LRESULT CJXButton::Draw(HDC, const RECT*, UINT) { return CDRF_DODEFAULT; }

void CJXButton::DrawCaption(HDC dc, RECT* rect) {
    if (m_caption.empty()) return;
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = ::SetTextColor(dc, m_captionColor);
    ATL::CSelectObject font(dc, m_captionFont);
    ::DrawTextW(dc, m_caption.c_str(), static_cast<int>(m_caption.size()), rect,
                DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    ::SetTextColor(dc, oldColor);
    ::SetBkMode(dc, oldMode);
}

LRESULT CJXImageButton::Draw(HDC dc, const RECT* rect, UINT itemState) {
    const int count = m_imageList ? ::ImageList_GetImageCount(m_imageList.Get()) : 0;
    COLORREF background = m_normalColor;
    int image = 0;
    // Disabled wins over hot; pressed and focused have no look of their own.
    if ((itemState & CDIS_DISABLED) != 0) {
        background = m_disabledColor;
        image = count >= 3 ? 2 : 0;
    } else if ((itemState & CDIS_HOT) != 0) {
        background = m_hotColor;
        image = count >= 2 ? 1 : 0;
    }

    if (m_borderColor == CLR_INVALID) {
        const COLORREF old = ::SetBkColor(dc, background);
        if (old != CLR_INVALID) {
            ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
            ::SetBkColor(dc, old);
        }
    } else {
        brelio::UniquePen pen(::CreatePen(PS_SOLID, 0, m_borderColor));
        brelio::UniqueBrush brush(::CreateSolidBrush(background));
        ATL::CSelectObject selectedPen(dc, pen.Get());
        ATL::CSelectObject selectedBrush(dc, brush.Get());
        ::Rectangle(dc, rect->left, rect->top, rect->right, rect->bottom);
    }

    if (m_imageList) {
        int cx = 0;
        int cy = 0;
        ::ImageList_GetIconSize(m_imageList.Get(), &cx, &cy);
        const int x = rect->left + (rect->right - rect->left - cx) / 2;
        const int y = rect->top + (rect->bottom - rect->top - cy) / 2;
        ::ImageList_Draw(m_imageList.Get(), image, dc, x, y, ILD_NORMAL);
    }
    RECT captionRect = *rect;
    DrawCaption(dc, &captionRect);
    return CDRF_SKIPDEFAULT;
}

void CJXImageButton::LoadImages(HINSTANCE module, UINT resourceId, LPCWSTR resourceType) {
    const UINT ids[] = {resourceId, 0xFFFFFFFF};
    LoadImages(module, ids, resourceType);
}

void CJXImageButton::LoadImages(HINSTANCE module, const UINT* resourceIds, LPCWSTR resourceType) {
    if (resourceIds == nullptr) return;
    for (int i = 0; i < 3 && resourceIds[i] != 0xFFFFFFFF; ++i) {
        PngBitmap png;
        if (FAILED(LoadPngBitmap(module, resourceIds[i], resourceType, 0xFF000000, png))) continue;
        if (!m_imageList) {
            m_imageList.Reset(::ImageList_Create(static_cast<int>(png.width), static_cast<int>(png.height),
                                                 ImageListColorFlags(png.pixelFormat), 3, 3));
            if (!m_imageList) return;
        }
        ::ImageList_Add(m_imageList.Get(), png.bitmap.Get(), nullptr);
    }
}
