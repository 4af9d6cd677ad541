#include "BrelioSync/SyncManager.h"

#include "BrelioCore/JXEvent.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/Settings.h"

HRESULT CSyncManager::StartAll() {
    if (m_started) return HRESULT_FROM_WIN32(ERROR_BUSY);
    AwaitLastRun();
    std::wstring root = m_host.GetSettings().GetRootDir();
    const HRESULT monitor = m_monitor.Start(&m_queue, &m_ignoreList, &m_fullSyncEvent, root);
    // The passes start only once the monitor watches: a change made before
    // would reach no pass until the next start. A folder that cannot be
    // watched ends the monitor at once and waits no longer.
    if (SUCCEEDED(monitor) && !m_monitor.WaitUntilWatching(kThreadWait))
        Log(L"FileMonitorThread does not watch the sync folder.");
    const HRESULT results[] = {
        monitor,
        m_storageUpdate.Start(&m_queue, &m_ignoreList, &m_partialSyncEvent, &m_fullSyncEvent,
                              StorageUpdateSettings::FromHost(m_host)),
        m_syncThread.Start(&m_partialSyncEvent, &m_fullSyncEvent, this),
    };
    m_started = true;
    for (const HRESULT result : results)
        if (result == HRESULT_FROM_WIN32(ERROR_BUSY)) return result;
    return S_OK;
}

HRESULT CSyncManager::StopAll() {
    m_started = false;
    m_host.GetStopEvent().SetEvent();
    const HRESULT monitor = m_monitor.Stop(kThreadWait);
    m_queue.Enqueue(L"", 0, false);
    m_queue.Signal();
    const HRESULT storageUpdate = m_storageUpdate.Close(kThreadWait);
    const HRESULT sync = m_syncThread.Stop(kThreadWait);
    // Left queued, the stop request would end the next run at once.
    if (SUCCEEDED(storageUpdate)) m_queue.Clear();
    if (FAILED(monitor)) return monitor;
    if (FAILED(storageUpdate)) return storageUpdate;
    return sync;
}

void CSyncManager::AwaitLastRun() {
    // Each was told to end by StopAll: the monitor's read is cancelled
    // again until it ends, the storage-update thread reads its stop request
    // and the sync thread's run stays stopped. A thread not started or
    // already closed returns at once.
    // Each waits until its thread has ended, so there is no result to tell.
    (void)m_monitor.Stop(INFINITE);
    if (m_storageUpdate.GetThreadHandle() != nullptr && SUCCEEDED(m_storageUpdate.Close(INFINITE)))
        m_queue.Clear();
    (void)m_syncThread.Stop(INFINITE);
}

void CSyncManager::RequestSync(bool full) {
    if (full)
        m_fullSyncEvent.SetEvent();
    else
        m_partialSyncEvent.SetEvent();
}
