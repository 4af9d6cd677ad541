#pragma once
#include <windows.h>

#include "BrelioCore/JXEvent.h"
#include "BrelioCore/JXView.h"
#include "BrelioSync/EngineHost.h"
#include "BrelioSync/FileChangeQueue.h"
#include "BrelioSync/FileMonitorThread.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/IgnoreList.h"
#include "BrelioSync/StorageUpdateThread.h"

// The engine's channel to the user interface and the owner of what its
// threads share. Notifications are posted: nothing here waits on a window.
// What it needs of the program comes from the host it is made with.
class CSyncManager {
public:
    explicit CSyncManager(IEngineHost& host) : m_host(host) {}
    CSyncManager(const CSyncManager&) = delete;
    CSyncManager& operator=(const CSyncManager&) = delete;

    // Set on the UI thread before the workers start; read only after.
    void SetNotifyView(CJXView* view) { m_notifyView = view; }
    CIgnoreList& GetIgnoreList() { return m_ignoreList; }
    IEngineHost& GetHost() const { return m_host; }

    // Starts the monitor, the storage-update thread and the sync thread for
    // the host's current settings; the other two once the monitor
    // watches the folder (up to 4000 ms), so that no change made after
    // StartAll returns is missed. A thread of the last run that
    // outlived StopAll's wait is awaited first, without a time bound (it
    // was told to end, its requests are cut short and it ends at its next
    // step), so that a new run never runs beside it and the engine is not
    // left stopped. HRESULT_FROM_WIN32(ERROR_BUSY), with
    // nothing started, while the threads run from an earlier StartAll
    // without a StopAll since. Other start failures leave that part idle
    // and are not reported.
    [[nodiscard]] HRESULT StartAll();
    // The host's stop event is set here; each thread gets up to
    // 4000 ms. The sync thread's run is stopped for good even should the
    // event be reset before the thread has ended, and its requests end
    // without waiting for the server. S_OK when all three ended.
    [[nodiscard]] HRESULT StopAll();
    // Sets the full-sync event when full, else the partial-sync event. The
    // events are auto-reset: requests made during a pass give one further
    // pass.
    void RequestSync(bool full);
    void RequestFullSync() { RequestSync(true); }
    void RequestPartialSync() { RequestSync(false); }

    // Posts a new item to the notification view. When the post fails the
    // item is freed here: it never reached an owner.
    BOOL PostItem(const wchar_t* path, bool isFolder, int kind);
    // A session error becomes the sign-out request to the main frame and
    // no item; any other result a done or failed item.
    BOOL NotifyResult(const wchar_t* path, bool isFolder, HRESULT result);
    BOOL NotifyStatus(UINT stringId);

private:
    static constexpr DWORD kThreadWait = 4000;

    // Waits for every thread of the last run to end, and does what StopAll
    // left undone for a thread that outlived its wait.
    void AwaitLastRun();

    IEngineHost& m_host;
    CJXView* m_notifyView = nullptr;
    // Between a StartAll and the next StopAll.
    bool m_started = false;
    CJXEvent m_partialSyncEvent{false, false, nullptr};
    CJXEvent m_fullSyncEvent{false, false, nullptr};
    // Declared before the threads, which use them until they are destroyed.
    CFileChangeQueue m_queue;
    CIgnoreList m_ignoreList;
    CFileMonitorThread m_monitor;
    CStorageUpdateThread m_storageUpdate;
    CFileSyncThread m_syncThread;
};
