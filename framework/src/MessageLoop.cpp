#include "BrelioFramework/MessageLoop.h"

#include <algorithm>

namespace WTL {

namespace {

template <typename T>
BOOL AddOnce(std::vector<T*>& list, T* item) {
    if (item == nullptr || std::find(list.begin(), list.end(), item) != list.end()) return FALSE;
    list.push_back(item);
    return TRUE;
}

template <typename T>
BOOL RemoveOne(std::vector<T*>& list, T* item) {
    auto found = std::find(list.begin(), list.end(), item);
    if (found == list.end()) return FALSE;
    list.erase(found);
    return TRUE;
}

template <typename T>
bool Contains(const std::vector<T*>& list, T* item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

BOOL CMessageLoop::AddMessageFilter(CMessageFilter* filter) { return AddOnce(m_filters, filter); }
BOOL CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) { return RemoveOne(m_filters, filter); }
BOOL CMessageLoop::AddIdleHandler(CIdleHandler* handler) { return AddOnce(m_idleHandlers, handler); }
BOOL CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) { return RemoveOne(m_idleHandlers, handler); }

BOOL CMessageLoop::PreTranslateMessage(MSG* msg) {
    // A copy, because a filter may remove itself or others; one that has
    // been removed meanwhile is skipped.
    const std::vector<CMessageFilter*> filters = m_filters;
    for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
        if (Contains(m_filters, *it) && (*it)->PreTranslateMessage(msg)) return TRUE;
    }
    return FALSE;
}

BOOL CMessageLoop::OnIdle(int /*idleCount*/) {
    const std::vector<CIdleHandler*> handlers = m_idleHandlers;
    BOOL more = FALSE;
    for (CIdleHandler* handler : handlers) {
        if (Contains(m_idleHandlers, handler) && handler->OnIdle()) more = TRUE;
    }
    return more;
}

BOOL CMessageLoop::IsIdleMessage(const MSG* msg) {
    switch (msg->message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case 0x0118:  // the caret's system timer
        return FALSE;
    default:
        return TRUE;
    }
}

int CMessageLoop::Run() {
    bool doIdle = true;
    int idleCount = 0;
    MSG msg = {};
    for (;;) {
        while (doIdle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++)) doIdle = false;
        }
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) continue;  // an invalid window filter; nothing was taken
        if (!got) break;          // WM_QUIT
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (IsIdleMessage(&msg)) {
            doIdle = true;
            idleCount = 0;
        }
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace WTL
