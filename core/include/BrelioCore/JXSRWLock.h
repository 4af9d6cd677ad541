#pragma once
#include <windows.h>

// A slim reader/writer lock. Shared by default; writers pass exclusive.
class CJXSRWLock {
public:
    CJXSRWLock() { ::InitializeSRWLock(&m_lock); }
    CJXSRWLock(const CJXSRWLock&) = delete;
    CJXSRWLock& operator=(const CJXSRWLock&) = delete;

    void Acquire(bool exclusive = false) {
        if (exclusive)
            ::AcquireSRWLockExclusive(&m_lock);
        else
            ::AcquireSRWLockShared(&m_lock);
    }
    void Release(bool exclusive = false) {
        if (exclusive)
            ::ReleaseSRWLockExclusive(&m_lock);
        else
            ::ReleaseSRWLockShared(&m_lock);
    }

private:
    SRWLOCK m_lock;
};

// Holds a CJXSRWLock for one scope.
class CJXSRWLockGuard {
public:
    CJXSRWLockGuard(CJXSRWLock& lock, bool exclusive = false) : m_lock(lock), m_exclusive(exclusive) {
        m_lock.Acquire(m_exclusive);
    }
    ~CJXSRWLockGuard() { m_lock.Release(m_exclusive); }
    CJXSRWLockGuard(const CJXSRWLockGuard&) = delete;
    CJXSRWLockGuard& operator=(const CJXSRWLockGuard&) = delete;

private:
    CJXSRWLock& m_lock;
    bool m_exclusive;
};
