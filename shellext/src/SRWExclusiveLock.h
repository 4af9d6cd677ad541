#pragma once
#include <windows.h>

// Holds a slim reader/writer lock exclusively for one scope.
class CSRWExclusiveLock {
public:
    explicit CSRWExclusiveLock(SRWLOCK& lock) : m_lock(lock) { ::AcquireSRWLockExclusive(&m_lock); }
    ~CSRWExclusiveLock() { ::ReleaseSRWLockExclusive(&m_lock); }
    CSRWExclusiveLock(const CSRWExclusiveLock&) = delete;
    CSRWExclusiveLock& operator=(const CSRWExclusiveLock&) = delete;

private:
    SRWLOCK& m_lock;
};
