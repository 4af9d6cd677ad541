#include "BrelioCore/JXView.h"

BOOL CJXView::PostMessageW(UINT message, WPARAM wParam, LPARAM lParam) const {
    const HWND window = GetViewWindow();
    if (window == nullptr || !::IsWindow(window)) return FALSE;
    return ::PostMessageW(window, message, wParam, lParam);
}
