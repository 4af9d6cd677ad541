#include "BrelioServices/NamedMutex.h"

HRESULT CNamedMutex::Create(const wchar_t* name, bool initiallyOwned, SECURITY_ATTRIBUTES* security) {
    m_handle.Reset(::CreateMutexW(security, initiallyOwned ? TRUE : FALSE, name));
    if (m_handle) return S_OK;
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

DWORD CNamedMutex::Lock() { return Lock(INFINITE); }

DWORD CNamedMutex::Lock(DWORD milliseconds) {
    if (!m_handle) return WAIT_FAILED;
    return ::WaitForSingleObject(m_handle.Get(), milliseconds);
}

bool CNamedMutex::Unlock() { return m_handle && ::ReleaseMutex(m_handle.Get()) != FALSE; }

void CNamedMutex::Close() { m_handle.Reset(); }

CNamedMutexLock::CNamedMutexLock(CNamedMutex* mutex) : m_mutex(mutex) {
    if (m_mutex == nullptr) return;
    m_waitResult = m_mutex->Lock();
    // An abandoned mutex is ours now; the database it guarded is consistent
    // because every statement commits on its own.
    m_held = m_waitResult == WAIT_OBJECT_0 || m_waitResult == WAIT_ABANDONED;
}

CNamedMutexLock::~CNamedMutexLock() {
    if (m_held) m_mutex->Unlock();
}
