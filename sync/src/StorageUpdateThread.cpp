// Starting the storage-update thread, and its loop of waits.
#include "BrelioSync/StorageUpdateThread.h"

#include <algorithm>

#include "BrelioServices/GlobalSettings.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/FileChangeQueue.h"
#include "BrelioSync/IgnoreList.h"
#include "BrelioSync/PassSchedule.h"

namespace {

// How long an old name waits for its new name before a pass takes it for a
// removal: the monitor reports the two together, a moment apart at most.
constexpr ULONGLONG kRenamePartnerWait = 1000;

}  // namespace

CStorageUpdateThread::~CStorageUpdateThread() {
    if (!IsRunning()) return;
    m_queue->Enqueue(L"", FILE_CHANGE_STOP, false);
    m_queue->Signal();
    Close(INFINITE);
}

HRESULT CStorageUpdateThread::Start(CFileChangeQueue* queue, CIgnoreList* ignoreList, CJXEvent* partialSyncEvent,
                                    CJXEvent* fullSyncEvent, const StorageUpdateSettings& settings) {
    if (queue == nullptr || settings.storageMutex == nullptr) return E_INVALIDARG;
    // The running thread reads these members: a late thread of the last run
    // keeps them as they were until it has ended.
    if (IsRunning()) return HRESULT_FROM_WIN32(ERROR_BUSY);
    m_queue = queue;
    m_ignoreList = ignoreList;
    m_partialSyncEvent = partialSyncEvent;
    m_fullSyncEvent = fullSyncEvent;
    m_syncRoot = settings.syncRoot;
    m_databasePath = settings.databasePath;
    m_storageMutex = settings.storageMutex;
    m_selectedFolders.Clear();
    if (settings.selectedFolders != nullptr) m_selectedFolders.CopyFrom(*settings.selectedFolders, false);
    m_heldBack.reset();
    m_findings.clear();
    m_settledWrites.clear();
    return Create(StorageUpdateThreadProc, this, 0);
}

DWORD WINAPI CStorageUpdateThread::StorageUpdateThreadProc(void* param) {
    return static_cast<CStorageUpdateThread*>(param)->Run();
}

DWORD CStorageUpdateThread::Run() {
    Log(L"StorageUpdateThread started(%d).", static_cast<int>(GetSyncIdleTime()));
    CPassSchedule schedule(::GetTickCount64());
    for (;;) {
        // Read on every wait: it is changed by hand while the program runs.
        const DWORD idleTime = GetSyncIdleTime();
        const DWORD toPass = schedule.TimeToPass(::GetTickCount64(), idleTime);
        if (toPass == 0) {
            if (DrainQueue(IsHeldBackStale()) == kStopRead) break;
            if (m_partialSyncEvent != nullptr) m_partialSyncEvent->SetEvent();
            schedule.PassRequested(::GetTickCount64());
            continue;
        }
        // Woken as well when a path the sync thread wrote comes out of the
        // ignore list, to compare it with what the write left, and when the
        // hold of what such a comparison found is over. A path given its
        // time to come out while this thread waits wakes it, so that the
        // wait is computed anew with it.
        const DWORD toRelease = m_ignoreList != nullptr ? m_ignoreList->TimeToNextRelease() : INFINITE;
        const DWORD waited = m_queue->Wait(std::min({toPass, toRelease, TimeToNextFinding()}),
                                           m_ignoreList != nullptr ? m_ignoreList->ReleaseScheduledEvent() : nullptr);
        if (waited != WAIT_OBJECT_0 && waited != WAIT_TIMEOUT) break;
        const int drained = DrainQueue(false);
        if (drained == kStopRead) break;
        if (drained == kChangesRecorded) schedule.ChangeRecorded(::GetTickCount64());
    }
    // Whatever is still queued was caught after the stop: it belongs to no
    // run, and the next run must not start on it.
    m_heldBack.reset();
    m_findings.clear();
    m_settledWrites.clear();
    m_queue->Clear();
    Log(L"StorageUpdateThread stopped.");
    return 0;
}

bool CStorageUpdateThread::IsHeldBackStale() const {
    return m_heldBack && ::GetTickCount64() - m_heldBackSince >= kRenamePartnerWait;
}
