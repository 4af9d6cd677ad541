#pragma once
#include <windows.h>

#include <map>

namespace WTL {

class CMessageLoop;

// The application module of a program: its instance and the message loop
// of each UI thread, so that a window created on a thread finds the loop
// it is to add its filter and idle handler to.
class CAppModule {
public:
    CAppModule() = default;
    CAppModule(const CAppModule&) = delete;
    CAppModule& operator=(const CAppModule&) = delete;

    HRESULT Init(HINSTANCE instance);
    void Term();

    HINSTANCE GetModuleInstance() const { return m_instance; }
    HINSTANCE GetResourceInstance() const { return m_instance; }

    // One loop per thread: FALSE when the calling thread has one already.
    BOOL AddMessageLoop(CMessageLoop* loop);
    // Removes the calling thread's loop; FALSE when it has none.
    BOOL RemoveMessageLoop();
    CMessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId()) const;

private:
    HINSTANCE m_instance = nullptr;
    mutable SRWLOCK m_lock = SRWLOCK_INIT;
    std::map<DWORD, CMessageLoop*> m_loops;
};

// The module object of this program.
CAppModule& GetAppModule();

}  // namespace WTL
