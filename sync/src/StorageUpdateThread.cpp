// Starting the storage-update thread, and its loop of waits.
#include "BrelioSync/StorageUpdateThread.h"

#include "BrelioServices/GlobalSettings.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/FileChangeQueue.h"

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
    return Create(StorageUpdateThreadProc, this, 0);
}

DWORD WINAPI CStorageUpdateThread::StorageUpdateThreadProc(void* param) {
    return static_cast<CStorageUpdateThread*>(param)->Run();
}

DWORD CStorageUpdateThread::Run() {
    Log(L"StorageUpdateThread started(%d).", static_cast<int>(GetSyncIdleTime()));
    for (;;) {
        // Read on every wait: it is changed by hand while the program runs.
        const DWORD waited = m_queue->Wait(GetSyncIdleTime());
        if (waited == WAIT_OBJECT_0) {
            if (DrainQueue(false) == kStopRead) break;
            continue;
        }
        if (waited != WAIT_TIMEOUT) break;
        // Quiet for a whole period: an old name held back has lost its new
        // name, and the service is due to be asked for its changes.
        if (DrainQueue(true) == kStopRead) break;
        if (m_partialSyncEvent != nullptr) m_partialSyncEvent->SetEvent();
    }
    // Whatever is still queued was caught after the stop: it belongs to no
    // run, and the next run must not start on it.
    m_heldBack.reset();
    m_queue->Clear();
    Log(L"StorageUpdateThread stopped.");
    return 0;
}
