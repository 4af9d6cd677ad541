// One partial sync: the remote changes after the stored revision against
// the recorded local changes, and what the pass leaves for the next one.
#include <algorithm>
#include <unordered_map>
#include <vector>

#include "BrelioCore/ErrorFlow.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/SQLiteConnection.h"
#include "BrelioSync/ChangeCoalescing.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/SyncManager.h"

namespace {

// The changes this client made itself come back in the next fetch: an
// update whose revision the item's row already holds is no news, and taken
// for one it would collide with the local edits made since.
void DropKnownUpdates(CLocalStorage& storage, ChangeInfoList& remoteChanges) {
    // The rows are read in one storage operation: after a first sync up the
    // feed holds an update of every item sent.
    std::vector<uint64_t> updated;
    for (const ChangeInfo& change : remoteChanges)
        if (change.changeType == "updated") updated.push_back(change.file.id);
    std::unordered_map<uint64_t, uint64_t> stored;
    if (FAILED(storage.GetRevisions(updated, stored))) return;
    std::erase_if(remoteChanges, [&](const ChangeInfo& change) {
        if (change.changeType != "updated") return false;
        const auto row = stored.find(change.file.id);
        return row != stored.end() && row->second >= change.file.revision;
    });
}

}  // namespace

// The highest revision up to which every fetched change was carried out:
// the changes come in revision order, so a change left unsettled caps it
// just below its own revision.
uint64_t SettledRevision(uint64_t stored, uint64_t highestFetched, const ReconcileOutcome& outcome) {
    uint64_t settled = highestFetched;
    if (outcome.lowestUnsettledRevision != UINT64_MAX) {
        // A change without a revision cannot say where it stands: nothing
        // fetched in this pass counts as settled then.
        if (outcome.lowestUnsettledRevision == 0) return stored;
        settled = std::min(settled, outcome.lowestUnsettledRevision - 1);
    }
    return std::max(settled, stored);
}

uint64_t ChangeRevision(const ChangeInfo& change) {
    // The change's own revision places it in the feed; the item's own
    // revision need not.
    return change.revision != 0 ? change.revision : change.file.revision;
}

void ReconcileOutcome::MarkUnsettled(const ChangeInfo& change) {
    lowestUnsettledRevision = std::min(lowestUnsettledRevision, ChangeRevision(change));
}

HRESULT CFileSyncThread::PartialSync() {
    CLocalStorage storage = Storage();
    uint64_t revision = 0;
    BRELIO_RETURN_IF_FAILED(storage.GetLatestRevision(revision), L"Failed to get latest revision(0x%x).");
    ChangeInfoList remoteChanges;
    HRESULT hr = GetAllChanges(revision, remoteChanges);
    if (FAILED(hr)) {
        Log(L"Failed to get remote changes(0x%x).", static_cast<unsigned>(hr));
        NotifyResult(m_env.syncRoot.c_str(), false, hr);
        return hr;
    }
    uint64_t highestFetched = revision;
    for (const ChangeInfo& change : remoteChanges) highestFetched = std::max(highestFetched, ChangeRevision(change));
    DropKnownUpdates(storage, remoteChanges);

    // The records stay in the change table until their action has been
    // carried out (Reconcile deletes each one then): a stop, a failure or
    // a crash in between leaves them for the next pass.
    ChangeRecordList recorded;
    hr = storage.GetChanges(recorded, false);
    if (FAILED(hr)) return hr;
    ChangeRecordList localChanges = CoalesceLocalChanges(recorded);
    ReconcileOutcome outcome;
    if (!localChanges.empty() || !remoteChanges.empty()) hr = Reconcile(localChanges, remoteChanges, outcome);

    const uint64_t settled = SettledRevision(revision, highestFetched, outcome);
    // Unstored, the next pass asks from the older revision: what it brings
    // once more finds its work done.
    if (settled > revision) (void)storage.SetLatestRevision(settled);
    return hr;
}
