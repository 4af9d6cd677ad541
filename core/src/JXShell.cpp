#include "BrelioCore/JXShell.h"

#include <shellapi.h>

#include "BrelioCore/TextConvert.h"

bool CJXShell::NotifyIcon(DWORD message, const GUID& id, HINSTANCE module, HWND window, UINT callbackMessage,
                          LPCWSTR tip, HICON icon) {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = 1;
    data.uFlags = NIF_GUID;
    data.guidItem = id;
    if (message != NIM_DELETE) {
        data.uFlags |= NIF_MESSAGE | NIF_ICON;
        data.uCallbackMessage = callbackMessage;
        data.hIcon = icon;
        if (tip != nullptr) {
            data.uFlags |= NIF_TIP | NIF_SHOWTIP;
            if (IS_INTRESOURCE(tip)) {
                ::LoadStringW(module, static_cast<UINT>(reinterpret_cast<UINT_PTR>(tip)), data.szTip,
                              static_cast<int>(std::size(data.szTip)));
            } else {
                brelio::CopyTerminated(data.szTip, std::size(data.szTip), tip);
            }
        }
    }
    return ::Shell_NotifyIconW(message, &data) != FALSE;
}
