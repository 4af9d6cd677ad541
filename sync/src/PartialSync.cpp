// One partial sync: the remote changes after the stored revision against
// the recorded local changes, and what the pass leaves for the next one.
#include <algorithm>

#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/SQLiteConnection.h"
#include "BrelioSync/ChangeCoalescing.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/SyncManager.h"

namespace {

// The records not carried out go back in front of those recorded during
// the pass, under one hold of the mutex, so that their order survives.
HRESULT PutBackLocalChanges(CNamedMutex* mutex, const std::wstring& databasePath,
                            const ChangeRecordList& unsettled) {
    if (unsettled.empty()) return S_OK;
    CNamedMutexLock lock(mutex);
    if (!lock.IsHeld()) return E_FAIL;
    int failure = 0;
    try {
        CSQLiteConnection db;
        db.OpenCurrent(databasePath.c_str(), OpenMode::ReadWrite);
        ChangeRecordList newer;
        db.ReadChanges(newer);
        db.ClearChanges();
        db.InsertChanges(unsettled);
        db.InsertChanges(newer);
    } catch (int code) {
        failure = code;
    }
    if (failure == 0) return S_OK;
    Log(L"PutBackChanges Exception: %d", failure);
    return E_FAIL;
}

// The highest revision up to which every fetched change was carried out:
// the changes come in revision order, so a change left unsettled caps it
// just below its own revision.
uint64_t SettledRevision(uint64_t stored, uint64_t highestFetched, const ReconcileOutcome& outcome) {
    uint64_t settled = highestFetched;
    if (outcome.lowestUnsettledRevision != UINT64_MAX)
        settled = std::min(settled, outcome.lowestUnsettledRevision - 1);
    return std::max(settled, stored);
}

// The changes this client made itself come back in the next fetch: an
// update whose revision the item's row already holds is no news, and taken
// for one it would collide with the local edits made since.
void DropKnownUpdates(CLocalStorage& storage, ChangeInfoList& remoteChanges) {
    std::erase_if(remoteChanges, [&](const ChangeInfo& change) {
        if (change.changeType != "updated") return false;
        FileRecord row;
        return storage.GetFile(change.file.id, row) == S_OK && row.revision >= change.file.revision;
    });
}

}  // namespace

void ReconcileOutcome::MarkUnsettled(const ChangeInfo& change) {
    lowestUnsettledRevision = std::min(lowestUnsettledRevision, change.file.revision);
}

HRESULT CFileSyncThread::PartialSync() {
    CLocalStorage storage = Storage();
    uint64_t revision = 0;
    HRESULT hr = storage.GetLatestRevision(revision);
    if (FAILED(hr)) {
        Log(L"Failed to get latest revision(0x%x).", static_cast<unsigned>(hr));
        return hr;
    }
    ChangeInfoList remoteChanges;
    hr = GetAllChanges(revision, remoteChanges);
    if (FAILED(hr)) {
        Log(L"Failed to get remote changes(0x%x).", static_cast<unsigned>(hr));
        m_env.syncManager->NotifyResult(m_env.syncRoot.c_str(), false, hr);
        return hr;
    }
    uint64_t highestFetched = revision;
    for (const ChangeInfo& change : remoteChanges) highestFetched = std::max(highestFetched, change.file.revision);
    DropKnownUpdates(storage, remoteChanges);

    ChangeRecordList recorded;
    hr = storage.GetChanges(recorded, true);
    if (FAILED(hr)) return hr;
    ChangeRecordList localChanges = CoalesceLocalChanges(recorded);
    ReconcileOutcome outcome;
    if (!localChanges.empty() || !remoteChanges.empty()) hr = Reconcile(localChanges, remoteChanges, outcome);

    if (FAILED(PutBackLocalChanges(m_env.storageMutex, m_env.databasePath, outcome.unsettledLocal)))
        Log(L"Failed to keep %u local changes for the next sync.", static_cast<unsigned>(outcome.unsettledLocal.size()));
    const uint64_t settled = SettledRevision(revision, highestFetched, outcome);
    if (settled > revision) storage.SetLatestRevision(settled);
    return hr;
}
