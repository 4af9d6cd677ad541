#pragma once
#include <windows.h>

// Something with a window that other threads post notifications to.
class CJXView {
public:
    CJXView() = default;
    virtual ~CJXView() = default;
    CJXView(const CJXView&) = delete;
    CJXView& operator=(const CJXView&) = delete;

    virtual HWND GetViewWindow() const = 0;
    // FALSE, with nothing sent, while the view has no window.
    BOOL PostMessageW(UINT message, WPARAM wParam, LPARAM lParam) const;
};
