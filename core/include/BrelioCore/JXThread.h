#pragma once
#include <windows.h>

#include "BrelioCore/UniqueHandle.h"

// A worker thread owned by an object. The object must outlive its thread:
// Close only lets go of the handle once the thread has ended, and the
// destructor waits for a thread that is still running, so an object is
// never freed (or started again) under a live thread.
class CJXThread {
public:
    using ThreadProc = DWORD(WINAPI*)(void* param);

    CJXThread() = default;
    virtual ~CJXThread();
    CJXThread(const CJXThread&) = delete;
    CJXThread& operator=(const CJXThread&) = delete;

    // Starts the procedure on a new thread. Refused with
    // HRESULT_FROM_WIN32(ERROR_BUSY) while an earlier thread still runs.
    HRESULT Create(ThreadProc proc, void* param, DWORD creationFlags);
    // Waits up to the time for the thread to end. S_OK when none runs (any
    // more); HRESULT_FROM_WIN32(WAIT_TIMEOUT) when it is still running, and
    // the handle is then kept.
    HRESULT Close(DWORD milliseconds);
    bool IsRunning() const;
    HANDLE GetThreadHandle() const { return m_thread.Get(); }
    DWORD GetThreadId() const { return m_threadId; }

private:
    brelio::UniqueKernelHandle m_thread;
    DWORD m_threadId = 0;
};
