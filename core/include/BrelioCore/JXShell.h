#pragma once
#include <windows.h>

// The shell services the program's windows use.
class CJXShell {
public:
    // Adds (NIM_ADD), changes (NIM_MODIFY) or removes (NIM_DELETE) the
    // notification-area icon known by `id`. `tip` is a text or a string id
    // of `module` (MAKEINTRESOURCE); NULL gives no tip. Only NIM_DELETE
    // needs nothing but the id and the window.
    static bool NotifyIcon(DWORD message, const GUID& id, HINSTANCE module, HWND window, UINT callbackMessage,
                           LPCWSTR tip, HICON icon);
};
