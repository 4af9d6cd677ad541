#include "BrelioCore/JXThread.h"

CJXThread::~CJXThread() {
    // Freeing the object under its running thread would pull the object
    // away from the code still using it: wait for the end instead.
    if (m_thread) ::WaitForSingleObject(m_thread.Get(), INFINITE);
}

HRESULT CJXThread::Create(ThreadProc proc, void* param, DWORD creationFlags) {
    if (proc == nullptr) return E_INVALIDARG;
    if (IsRunning()) return HRESULT_FROM_WIN32(ERROR_BUSY);
    m_thread.Reset();
    m_threadId = 0;
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, proc, param, creationFlags, &id);
    if (thread == nullptr) return HRESULT_FROM_WIN32(::GetLastError());
    m_thread.Reset(thread);
    m_threadId = id;
    return S_OK;
}

HRESULT CJXThread::Close(DWORD milliseconds) {
    if (!m_thread) return S_OK;
    const DWORD waited = ::WaitForSingleObject(m_thread.Get(), milliseconds);
    if (waited == WAIT_TIMEOUT) return HRESULT_FROM_WIN32(WAIT_TIMEOUT);
    if (waited != WAIT_OBJECT_0) return HRESULT_FROM_WIN32(::GetLastError());
    m_thread.Reset();
    m_threadId = 0;
    return S_OK;
}

bool CJXThread::IsRunning() const {
    return m_thread && ::WaitForSingleObject(m_thread.Get(), 0) == WAIT_TIMEOUT;
}
