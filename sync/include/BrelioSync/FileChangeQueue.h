#pragma once
#include <windows.h>

#include <deque>
#include <memory>

#include "BrelioCore/JXEvent.h"
#include "BrelioCore/JXSRWLock.h"
#include "BrelioSync/FileChange.h"

// The hand-over of local changes from the monitor thread to the
// storage-update thread, in the order the system reported them. The lock
// is held only inside each operation, never across storage work.
class CFileChangeQueue {
public:
    CFileChangeQueue() = default;
    CFileChangeQueue(const CFileChangeQueue&) = delete;
    CFileChangeQueue& operator=(const CFileChangeQueue&) = delete;

    // Queues a change. A "modified" event of a folder says nothing the
    // sync needs (its items report their own changes) and is dropped.
    void Enqueue(const wchar_t* path, int action, bool isFolder);
    // Appends the change, or folds it into an equal tail (same path letter
    // case aside, same action, same folder flag), whose time it refreshes:
    // a file being written reports one "modified" after another.
    void Push(std::unique_ptr<CFileChange> change);
    // The head change; false, with `change` untouched, when none is queued.
    bool Pop(std::unique_ptr<CFileChange>& change);
    bool IsEmpty();
    // Frees every queued change: what a stopped run left behind belongs to
    // no later run.
    void Clear();

    void Signal();
    // 0 when signalled, WAIT_TIMEOUT (258), or WAIT_FAILED. Another event,
    // when given, ends the wait as well (0).
    DWORD Wait(DWORD milliseconds, HANDLE alsoWakeOn = nullptr);

private:
    CJXSRWLock m_lock;
    std::deque<std::unique_ptr<CFileChange>> m_changes;
    CJXEvent m_event{false, false, nullptr};
};
