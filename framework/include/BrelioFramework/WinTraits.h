#pragma once
#include <windows.h>

namespace ATL {

// The styles a window class uses when its creator passes none (0).
template <DWORD Style = 0, DWORD ExStyle = 0>
struct CWinTraits {
    static DWORD GetWndStyle(DWORD style) { return style == 0 ? Style : style; }
    static DWORD GetWndExStyle(DWORD exStyle) { return exStyle == 0 ? ExStyle : exStyle; }
};

// A visible child that clips its siblings and children (0x56000000).
using CControlWinTraits = CWinTraits<WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0>;
// An overlapped top-level frame (0x06CF0000, 0x40100).
using CFrameWinTraits = CWinTraits<WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                   WS_EX_APPWINDOW | WS_EX_WINDOWEDGE>;

}  // namespace ATL
