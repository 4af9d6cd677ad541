#pragma once
#include <windows.h>

#include "BrelioCore/UniqueHandle.h"

// The one mutex that every process touching the local database (the
// program's threads and the overlay library inside Explorer) opens by name.
constexpr wchar_t kLocalStorageMutexName[] = L"BrelioLocalStorageMutex";

// A Windows mutex opened by name, shared between processes.
class CNamedMutex {
public:
    CNamedMutex() = default;
    CNamedMutex(const CNamedMutex&) = delete;
    CNamedMutex& operator=(const CNamedMutex&) = delete;

    // Creates the mutex or opens it when another process already did; both
    // give S_OK. On failure no handle is held and Lock fails at once.
    [[nodiscard]] HRESULT Create(const wchar_t* name, bool initiallyOwned = false,
                                 SECURITY_ATTRIBUTES* security = nullptr);
    // WAIT_OBJECT_0, WAIT_ABANDONED (held, but its last owner died while
    // holding it), WAIT_TIMEOUT or WAIT_FAILED.
    DWORD Lock();
    DWORD Lock(DWORD milliseconds);
    bool Unlock();
    void Close();
    HANDLE Handle() const { return m_handle.Get(); }

private:
    brelio::UniqueKernelHandle m_handle;
};

// Holds a CNamedMutex for one scope, waiting without a time-out.
class CNamedMutexLock {
public:
    explicit CNamedMutexLock(CNamedMutex* mutex);
    ~CNamedMutexLock();
    CNamedMutexLock(const CNamedMutexLock&) = delete;
    CNamedMutexLock& operator=(const CNamedMutexLock&) = delete;

    bool IsHeld() const { return m_held; }
    DWORD WaitResult() const { return m_waitResult; }

private:
    CNamedMutex* m_mutex;
    DWORD m_waitResult = WAIT_FAILED;
    bool m_held = false;
};
