#include "BrelioSync/SyncManager.h"

#include "BrelioApp/DriveApp.h"

HRESULT CSyncManager::StartAll() {
    std::wstring root = CDriveApp::GetInstance()->GetSettings().GetRootDir();
    // A thread that outlived its last stop keeps running; its start is
    // refused rather than its object reused under it.
    const HRESULT results[] = {
        m_monitor.Start(&m_queue, &m_ignoreList, &m_fullSyncEvent, root),
        m_storageUpdate.Start(&m_queue, &m_ignoreList, &m_partialSyncEvent, &m_fullSyncEvent,
                              StorageUpdateSettings::FromApp()),
        m_syncThread.Start(&m_partialSyncEvent, &m_fullSyncEvent, this),
    };
    for (const HRESULT result : results)
        if (result == HRESULT_FROM_WIN32(ERROR_BUSY)) return result;
    return S_OK;
}

HRESULT CSyncManager::StopAll() {
    CDriveApp::GetInstance()->GetStopEvent().SetEvent();
    const HRESULT monitor = m_monitor.Stop(kThreadWait);
    m_queue.Enqueue(L"", 0, false);
    m_queue.Signal();
    const HRESULT storageUpdate = m_storageUpdate.Close(kThreadWait);
    const HRESULT sync = m_syncThread.Close(kThreadWait);
    // Left queued, the stop request would end the next run at once.
    if (SUCCEEDED(storageUpdate)) m_queue.Clear();
    if (FAILED(monitor)) return monitor;
    if (FAILED(storageUpdate)) return storageUpdate;
    return sync;
}
