#include "BrelioSync/FileChangeQueue.h"

#include <cwchar>
#include <utility>

namespace {

bool IsSameChange(const CFileChange& a, const CFileChange& b) {
    return a.action == b.action && a.isFolder == b.isFolder && _wcsicmp(a.path.c_str(), b.path.c_str()) == 0;
}

}  // namespace

void CFileChangeQueue::Enqueue(const wchar_t* path, int action, bool isFolder) {
    if (isFolder && action == FILE_CHANGE_MODIFIED) return;
    auto change = std::make_unique<CFileChange>();
    change->path = path != nullptr ? path : L"";
    change->action = action;
    change->isFolder = isFolder;
    ::GetSystemTimeAsFileTime(&change->time);
    Push(std::move(change));
}

void CFileChangeQueue::Push(std::unique_ptr<CFileChange> change) {
    if (!change) return;
    CJXSRWLockGuard guard(m_lock, true);
    if (!m_changes.empty() && IsSameChange(*m_changes.back(), *change)) {
        m_changes.back()->time = change->time;
        return;
    }
    m_changes.push_back(std::move(change));
}

bool CFileChangeQueue::Pop(std::unique_ptr<CFileChange>& change) {
    CJXSRWLockGuard guard(m_lock, true);
    if (m_changes.empty()) return false;
    change = std::move(m_changes.front());
    m_changes.pop_front();
    return true;
}

bool CFileChangeQueue::IsEmpty() {
    CJXSRWLockGuard guard(m_lock, true);
    return m_changes.empty();
}

void CFileChangeQueue::Clear() {
    std::deque<std::unique_ptr<CFileChange>> dropped;
    {
        CJXSRWLockGuard guard(m_lock, true);
        dropped.swap(m_changes);
    }
}

void CFileChangeQueue::Signal() { m_event.SetEvent(); }

DWORD CFileChangeQueue::Wait(DWORD milliseconds, HANDLE alsoWakeOn) {
    if (alsoWakeOn == nullptr) return m_event.Wait(milliseconds);
    const HANDLE handles[] = {m_event, alsoWakeOn};
    const DWORD woke = ::WaitForMultipleObjects(2, handles, FALSE, milliseconds);
    return woke == WAIT_OBJECT_0 + 1 ? WAIT_OBJECT_0 : woke;
}
