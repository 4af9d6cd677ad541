#pragma once
#include <windows.h>
#include <olectl.h>

// A message forwarded to another window for its pre-translation: wParam 0,
// lParam the MSG. The answer is non-zero when the receiver consumed it.
#ifndef WM_FORWARDMSG
#define WM_FORWARDMSG 0x037F
#endif

namespace ATL {

// Anything with a message map. Map 0 is the default one; alternate maps
// (ALT_MSG_MAP) serve contained windows and chaining with a map id.
class CMessageMap {
public:
    virtual BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                                      DWORD mapId = 0) = 0;

protected:
    ~CMessageMap() = default;
};

}  // namespace ATL

// A message map is a ProcessWindowMessage written with these macros. An
// entry whose handler leaves bHandled TRUE ends the walk with its result;
// a handler that clears bHandled lets the walk go on to later entries, the
// chained maps and finally the default processing.
#define BEGIN_MSG_MAP(theClass)                                                                         \
public:                                                                                                 \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,      \
                              DWORD dwMsgMapID = 0) {                                                   \
        BOOL bHandled = TRUE;                                                                           \
        (void)hWnd;                                                                                     \
        (void)uMsg;                                                                                     \
        (void)wParam;                                                                                   \
        (void)lParam;                                                                                   \
        (void)lResult;                                                                                  \
        (void)bHandled;                                                                                 \
        switch (dwMsgMapID) {                                                                           \
        case 0:

#define ALT_MSG_MAP(mapId) \
    break;                 \
    case mapId:

#define END_MSG_MAP() \
    break;            \
    default:          \
        break;        \
        }             \
        return FALSE; \
        }

#define BRELIO_MSG_CALL(call) \
    {                         \
        bHandled = TRUE;      \
        lResult = call;       \
        if (bHandled) return TRUE; \
    }

// LRESULT Handler(UINT message, WPARAM, LPARAM, BOOL& handled)
#define MESSAGE_HANDLER(msg, func) \
    if (uMsg == (msg)) BRELIO_MSG_CALL(func(uMsg, wParam, lParam, bHandled))
#define MESSAGE_RANGE_HANDLER(first, last, func) \
    if (uMsg >= (first) && uMsg <= (last)) BRELIO_MSG_CALL(func(uMsg, wParam, lParam, bHandled))

// LRESULT Handler(WORD notifyCode, WORD id, HWND control, BOOL& handled)
#define COMMAND_HANDLER(id, code, func)                                                   \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code))         \
    BRELIO_MSG_CALL(func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled))
#define COMMAND_ID_HANDLER(id, func)                  \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id)) \
    BRELIO_MSG_CALL(func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled))
#define COMMAND_CODE_HANDLER(code, func)                \
    if (uMsg == WM_COMMAND && HIWORD(wParam) == (code)) \
    BRELIO_MSG_CALL(func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled))
#define COMMAND_RANGE_HANDLER(first, last, func)                                         \
    if (uMsg == WM_COMMAND && LOWORD(wParam) >= (first) && LOWORD(wParam) <= (last))     \
    BRELIO_MSG_CALL(func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled))

// LRESULT Handler(int controlId, LPNMHDR, BOOL& handled)
#define NOTIFY_HANDLER(id, notifyCode, func)                                                           \
    if (uMsg == WM_NOTIFY && reinterpret_cast<LPNMHDR>(lParam)->idFrom == static_cast<UINT_PTR>(id) && \
        reinterpret_cast<LPNMHDR>(lParam)->code == static_cast<UINT>(notifyCode))                       \
    BRELIO_MSG_CALL(func(static_cast<int>(wParam), reinterpret_cast<LPNMHDR>(lParam), bHandled))
#define NOTIFY_CODE_HANDLER(notifyCode, func)                                                 \
    if (uMsg == WM_NOTIFY && reinterpret_cast<LPNMHDR>(lParam)->code == static_cast<UINT>(notifyCode)) \
    BRELIO_MSG_CALL(func(static_cast<int>(wParam), reinterpret_cast<LPNMHDR>(lParam), bHandled))
#define NOTIFY_ID_HANDLER(id, func)                                                               \
    if (uMsg == WM_NOTIFY && reinterpret_cast<LPNMHDR>(lParam)->idFrom == static_cast<UINT_PTR>(id)) \
    BRELIO_MSG_CALL(func(static_cast<int>(wParam), reinterpret_cast<LPNMHDR>(lParam), bHandled))

// Chaining: the message goes through another map (a base class's, a
// member's) and counts as handled when that map handled it.
#define CHAIN_MSG_MAP(theChainClass) \
    if (theChainClass::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;
#define CHAIN_MSG_MAP_ALT(theChainClass, mapId) \
    if (theChainClass::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, mapId)) return TRUE;
#define CHAIN_MSG_MAP_MEMBER(theChainMember) \
    if ((theChainMember).ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;

// Reflection: a notification that a child sent to this window (command,
// notify, draw, colour, scroll...) is sent back to that child as OCM_xxx,
// so that a control class can handle its own notifications.
#define REFLECT_NOTIFICATIONS()                                        \
    {                                                                  \
        bHandled = TRUE;                                               \
        lResult = this->ReflectNotifications(uMsg, wParam, lParam, bHandled); \
        if (bHandled) return TRUE;                                     \
    }
// In a control's map: a reflected message that no entry took gets the
// default processing of the original message.
#define DEFAULT_REFLECTION_HANDLER()                                                  \
    if (this->DefaultReflectionHandler(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;
// Forwarding: commands and notifications go on to this window's parent as
// WM_FORWARDMSG, for windows that sit between a control and its owner.
#define FORWARD_NOTIFICATIONS()                                          \
    {                                                                    \
        bHandled = TRUE;                                                 \
        lResult = this->ForwardNotifications(uMsg, wParam, lParam, bHandled); \
        if (bHandled) return TRUE;                                       \
    }
