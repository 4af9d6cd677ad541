#pragma once
#include <windows.h>
#include <unknwn.h>

#include "BrelioFramework/Window.h"

namespace ATL {

// The ActiveX host window. A window of the class "AtlAxWinLic140" (or
// "AtlAxWin140") creates, on WM_CREATE, the control its window text names
// and activates it in place over its client area:
// - a class id in braces or a ProgID: that control;
// - anything else (an address such as "https://..." or "about:blank"): the
//   WebBrowser control, navigated there.
// The host is the control's client site, in-place site and frame, answers
// its ambient properties (user mode, no grab handles or hatching, message
// reflection, the user's locale), resizes it with the window, passes it
// keyboard messages forwarded with WM_FORWARDMSG, and closes it when the
// window is destroyed.

// Registers the host window classes for this module; TRUE when they exist.
BOOL AtlAxWinInit();

// The hosted control's IUnknown (a new reference); E_FAIL when the window
// is no host or hosts nothing.
HRESULT AtlAxGetControl(HWND host, IUnknown** control);

inline constexpr wchar_t kAxHostClassName[] = L"AtlAxWinLic140";

// A host window handle with the query for its control.
class CAxWindow : public CWindow {
public:
    CAxWindow(HWND window = nullptr) : CWindow(window) {}  // NOLINT
    static LPCWSTR GetWndClassName() { return kAxHostClassName; }

    HRESULT QueryControl(REFIID iid, void** out) const;
    template <typename Q>
    HRESULT QueryControl(Q** out) const {
        return QueryControl(__uuidof(Q), reinterpret_cast<void**>(out));
    }
};

}  // namespace ATL
