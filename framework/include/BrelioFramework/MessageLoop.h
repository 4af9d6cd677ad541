#pragma once
#include <windows.h>

#include <vector>

namespace WTL {

// Sees every message of the thread's loop before it is translated and
// dispatched; TRUE consumes it (dialog keys, accelerators, a web view's
// keyboard).
class CMessageFilter {
public:
    virtual BOOL PreTranslateMessage(MSG* msg) = 0;

protected:
    ~CMessageFilter() = default;
};

// Runs when the thread's queue has run empty after input or other work;
// FALSE means it has nothing more to do until the next such moment.
class CIdleHandler {
public:
    virtual BOOL OnIdle() = 0;

protected:
    ~CIdleHandler() = default;
};

// The message loop of one UI thread: filters in front of dispatching and
// idle handlers behind it. Filters and handlers may add or remove
// themselves (or others) while the loop calls them.
class CMessageLoop {
public:
    CMessageLoop() = default;
    CMessageLoop(const CMessageLoop&) = delete;
    CMessageLoop& operator=(const CMessageLoop&) = delete;
    virtual ~CMessageLoop() = default;

    BOOL AddMessageFilter(CMessageFilter* filter);
    BOOL RemoveMessageFilter(CMessageFilter* filter);
    BOOL AddIdleHandler(CIdleHandler* handler);
    BOOL RemoveIdleHandler(CIdleHandler* handler);

    // Pumps until WM_QUIT and returns its exit code.
    int Run();

    // The filters, the one added last first; TRUE when one consumed it.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Every idle handler; TRUE when one of them wants another round.
    virtual BOOL OnIdle(int idleCount);
    // Messages after which idle handlers run again: all but mouse moves,
    // paints and the caret's system timer, which come by themselves.
    static BOOL IsIdleMessage(const MSG* msg);

private:
    std::vector<CMessageFilter*> m_filters;
    std::vector<CIdleHandler*> m_idleHandlers;
};

}  // namespace WTL
