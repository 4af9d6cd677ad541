// The sync thread's life: its start, its wait for requests and the two
// passes it runs.
#include "BrelioCore/ErrorFlow.h"
#include "BrelioCore/JXHttpRequest.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/EngineStringIds.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/RemoteLookups.h"
#include "BrelioSync/SyncManager.h"

namespace {

// The drive's revision before a walk: every change up to it is seen by the
// walk, every later one by the changes feed from it.
HRESULT GetDriveRevision(uint64_t& revision) {
    RequestStatus status;
    DriveInfoList drives;
    BRELIO_RETURN_IF_FAILED(GetDrives(status, drives), L"Failed to get latest revision(0x%x).");
    revision = GetPrivateDriveLatestRevision(drives);
    return S_OK;
}

}  // namespace

// Nothing is left to tell of a stop on the way out: it waits until the end.
CFileSyncThread::~CFileSyncThread() { (void)Stop(INFINITE); }

HRESULT CFileSyncThread::Stop(DWORD milliseconds) {
    if (GetThreadHandle() == nullptr) return S_OK;
    m_stopRequested.SetEvent();
    return Close(milliseconds);
}

HRESULT CFileSyncThread::Start(CJXEvent* partialSyncEvent, CJXEvent* fullSyncEvent, CSyncManager* manager) {
    if (IsRunning()) return HRESULT_FROM_WIN32(ERROR_BUSY);
    return Start(EnvironmentFromHost(manager), partialSyncEvent, fullSyncEvent);
}

HRESULT CFileSyncThread::Start(const SyncEnvironment& environment, CJXEvent* partialSyncEvent,
                               CJXEvent* fullSyncEvent) {
    if (IsRunning()) return HRESULT_FROM_WIN32(ERROR_BUSY);
    SyncEnvironment own = environment;
    if (environment.selectedFolders != nullptr)
        m_selectedFolders.CopyFrom(*environment.selectedFolders, false);
    else
        m_selectedFolders.Clear();
    own.selectedFolders = &m_selectedFolders;
    Configure(own);
    m_stopRequested.ResetEvent();
    m_partialSyncEvent = partialSyncEvent;
    m_fullSyncEvent = fullSyncEvent;
    return Create(FileSyncThreadProc, this, 0);
}

DWORD WINAPI CFileSyncThread::FileSyncThreadProc(void* param) {
    auto* self = static_cast<CFileSyncThread*>(param);
    const brelio::ComInitScope com;
    // A stop cuts a request short, even one waiting for the server; what it
    // left unsettled waits for the next pass.
    CJXHttpRequest::SetThreadCancelEvent(self->m_env.stopEvent, self->m_stopRequested);
    const DWORD result = self->Run();
    CJXHttpRequest::SetThreadCancelEvent(nullptr);
    return result;
}

DWORD CFileSyncThread::Run() {
    Log(L"FileSyncThread started.");
    // The order gives a partial request precedence over a full one.
    const HANDLE handles[] = {*m_partialSyncEvent, *m_fullSyncEvent, m_env.stopEvent, m_stopRequested};
    for (;;) {
        const DWORD waited = ::WaitForMultipleObjects(ARRAYSIZE(handles), handles, FALSE, INFINITE);
        // A request that came with the stop starts no pass of a run that
        // has ended.
        if (CheckStop()) break;
        if (waited == WAIT_OBJECT_0) {
            RunPartialPass();
        } else if (waited == WAIT_OBJECT_0 + 1) {
            FullSync();
        } else {
            break;
        }
    }
    Log(L"FileSyncThread stopped.");
    return 0;
}

void CFileSyncThread::RunPartialPass() {
    m_env.syncManager->NotifyStatus(IDS_SYNC_STARTED);
    m_passIncomplete = false;
    m_itemFailed = false;
    ReadWalkRefusal();
    Log(L"Partial Sync started.");
    const HRESULT synced = PartialSync();
    Log(L"Partial Sync completed.");
    NotifyPassEnd(SUCCEEDED(synced));
}

void CFileSyncThread::FullSync() {
    m_env.syncManager->NotifyStatus(IDS_SYNC_STARTED);
    Log(L"Full Sync started.");
    uint64_t driveRevision = 0;
    const HRESULT revisionRead = GetDriveRevision(driveRevision);
    m_passIncomplete = false;
    m_itemFailed = false;
    m_walkRefusedNow = false;
    ReadWalkRefusal();
    const HRESULT walked = FullSyncWalk();
    Log(L"Full Sync completed.");
    // Nothing of a folder found missing or empty is acted on until it is
    // checked: no row dropped, no revision stored, no change carried out.
    if (m_walkRefusedNow) return;
    // Only a whole walk, with no item failed or skipped, covers the changes
    // up to the drive's revision; otherwise the changes feed still starts
    // where it stood, and no row is dropped as stale (a refused or broken
    // walk says nothing of which local items are gone). It also ends a
    // refusal: every row now agrees with what the folder holds.
    const bool wholeWalk = SUCCEEDED(walked) && !m_passIncomplete && !CheckStop();
    CLocalStorage storage = Storage();
    if (wholeWalk) {
        // Rows it could not drop (the storage logged why) are stale rows
        // still, and the next whole walk drops them.
        (void)storage.Cleanup();
        if (m_walkRefused) RememberWalkRefusal(false);
    }
    if (SUCCEEDED(revisionRead) && wholeWalk && driveRevision != 0) {
        uint64_t stored = 0;
        // Unstored, the changes feed starts where it stood: what it brings
        // once more finds its work done.
        if (SUCCEEDED(storage.GetLatestRevision(stored)) && driveRevision > stored)
            (void)storage.SetLatestRevision(driveRevision);
    }
    Log(L"Partial Sync started.");
    const HRESULT synced = PartialSync();
    Log(L"Partial Sync completed.");
    NotifyPassEnd(SUCCEEDED(walked) && SUCCEEDED(synced));
}

void CFileSyncThread::NotifyPassEnd(bool succeeded) {
    // "Completed" after a refused walk or a failed item would tell the user
    // that all is well while nothing, or not everything, was synced.
    UINT status = IDS_SYNC_COMPLETED;
    if (m_walkRefused)
        status = IDS_SYNC_FOLDER_GONE;
    else if (!succeeded || m_itemFailed || CheckStop())
        status = IDS_SYNC_INCOMPLETE;
    m_env.syncManager->NotifyStatus(status);
}
