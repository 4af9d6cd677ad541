#include "BrelioFramework/AppModule.h"

#include "BrelioFramework/MessageLoop.h"

namespace WTL {

HRESULT CAppModule::Init(HINSTANCE instance) {
    m_instance = instance;
    return S_OK;
}

void CAppModule::Term() {
    ::AcquireSRWLockExclusive(&m_lock);
    m_loops.clear();
    ::ReleaseSRWLockExclusive(&m_lock);
}

BOOL CAppModule::AddMessageLoop(CMessageLoop* loop) {
    if (loop == nullptr) return FALSE;
    ::AcquireSRWLockExclusive(&m_lock);
    const bool added = m_loops.emplace(::GetCurrentThreadId(), loop).second;
    ::ReleaseSRWLockExclusive(&m_lock);
    return added ? TRUE : FALSE;
}

BOOL CAppModule::RemoveMessageLoop() {
    ::AcquireSRWLockExclusive(&m_lock);
    const bool removed = m_loops.erase(::GetCurrentThreadId()) != 0;
    ::ReleaseSRWLockExclusive(&m_lock);
    return removed ? TRUE : FALSE;
}

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId) const {
    ::AcquireSRWLockShared(&m_lock);
    auto found = m_loops.find(threadId);
    CMessageLoop* loop = found == m_loops.end() ? nullptr : found->second;
    ::ReleaseSRWLockShared(&m_lock);
    return loop;
}

CAppModule& GetAppModule() {
    static CAppModule module;
    return module;
}

}  // namespace WTL
