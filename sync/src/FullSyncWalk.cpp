#include <shlwapi.h>

#include <cwchar>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/FileOperations.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/EngineStringIds.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/IgnoreScope.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/StopMarker.h"
#include "BrelioSync/SyncManager.h"
#include "BrelioSync/WalkPlan.h"

namespace {

// True when the folder holds no item at all (the engine's own files aside),
// or does not exist.
bool IsFolderMissingOrEmpty(const wchar_t* folder) {
    std::wstring pattern;
    if (!JoinName(folder, L"*.*", pattern)) return false;
    WIN32_FIND_DATAW data = {};
    const brelio::UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
    if (!find) return true;
    bool empty = true;
    do {
        if (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0) continue;
        if (IsEngineOwnFile(data.cFileName)) continue;
        empty = false;
    } while (empty && ::FindNextFileW(find.Get(), &data));
    return empty;
}

// Whether some remote item of the folder is recorded in sync: the local side
// had it. Fails when the drive's listing cannot be read.
HRESULT HasSyncedRemoteItems(CLocalStorage& storage, uint64_t folderId, bool& synced) {
    synced = false;
    RequestStatus status;
    FileInfoList listing;
    const HRESULT listed = GetFiles(status, folderId, listing, false);
    if (FAILED(listed)) return listed;
    for (const FileInfo& entry : listing) {
        int itemStatus = FILE_STATUS_NONE;
        if (SUCCEEDED(storage.GetFileStatus(entry.id, itemStatus)) && itemStatus == FILE_STATUS_SYNCED) {
            synced = true;
            break;
        }
    }
    return S_OK;
}

constexpr HRESULT kSyncFolderGone = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);

}  // namespace

HRESULT CFileSyncThread::FullSyncWalk() {
    const wchar_t* root = m_env.syncRoot.c_str();
    auto refuse = [&](const wchar_t* folder) {
        // A folder that was deleted, unplugged or recreated empty is not a
        // user who deleted everything: the drive stays as it is. Remembered,
        // so that a later walk, one that finds something saved into the
        // folder meanwhile, does not take the rows for deletions either.
        // The warning is the pass's last word: the pass stops here.
        Log(L"%s - the folder is missing or empty while its items are recorded in sync; "
            L"the full sync stopped and nothing was deleted.",
            folder);
        m_passIncomplete = true;
        m_walkRefusedNow = true;
        RememberWalkRefusal(true);
        NotifyResult(folder, true, kSyncFolderGone);
        m_env.syncManager->NotifyStatus(IDS_SYNC_FOLDER_GONE);
        return kSyncFolderGone;
    };
    if (!::PathIsDirectoryW(root)) return refuse(root);
    CLocalStorage storage = Storage();
    // S_OK when the folder may be walked. An empty folder whose drive
    // listing cannot be read may be a lost folder as well: no walk on a
    // guess, whose rows would all read as deletions.
    auto mayWalk = [&](const wchar_t* folder, uint64_t folderId) -> HRESULT {
        WalkStartFacts facts;
        facts.missingOrEmpty = IsFolderMissingOrEmpty(folder);
        if (facts.missingOrEmpty) facts.listed = HasSyncedRemoteItems(storage, folderId, facts.recorded);
        switch (JudgeWalkStart(facts)) {
            case WalkStart::Walk:
                return S_OK;
            case WalkStart::Refuse:
                return refuse(folder);
            case WalkStart::ListingFailed:
                Log(L"%s - the folder is empty and the drive's items could not be listed(0x%x); the full sync stopped.",
                    folder, static_cast<unsigned>(facts.listed));
                NotifyResult(folder, true, facts.listed);
                return facts.listed;
        }
        return E_UNEXPECTED;
    };
    // Before the walk, which must never take them for the user's files.
    RemoveDownloadLeftovers(root);

    const std::vector<SyncFolderEntry> selected =
        m_env.selectedFolders != nullptr ? m_env.selectedFolders->GetEntries() : std::vector<SyncFolderEntry>();
    if (selected.empty()) {
        const HRESULT may = mayWalk(root, 0);
        if (may != S_OK) return may;
        return FullSyncFolder(root, 0);
    }
    HRESULT result = S_OK;
    for (const SyncFolderEntry& entry : selected) {
        if (CheckStop()) break;
        const std::wstring folder = RootJoin(entry.path);
        if (!folder.empty()) {
            const HRESULT may = mayWalk(folder.c_str(), entry.folderId);
            if (may != S_OK) return may;
        }
        result = SyncSelectedFolder(entry.path.c_str(), entry.folderId);
        // A selected folder left out of the walk leaves its changes unseen.
        if (result != S_OK) m_passIncomplete = true;
        if (result == E_FAIL) break;
        // Each of its failures marks the pass incomplete where it happens;
        // its result is only that of its last action.
        if (result == S_OK) (void)FullSyncFolder(folder.c_str(), entry.folderId);
    }
    return result;
}

void CFileSyncThread::ReadWalkRefusal() {
    // A database that cannot tell now leaves what this run knew: while it
    // cannot be read, no row of it is taken for a deletion either.
    bool refused = false;
    if (SUCCEEDED(Storage().GetWalkRefused(refused))) m_walkRefused = refused;
}

void CFileSyncThread::RememberWalkRefusal(bool refused) {
    // Kept in the database file's header (SQLite's user version), neither
    // in the registry nor in a table: it outlives this run and the next
    // starts, lives and goes with the rows it speaks of (a database made
    // anew holds no row to mistake for a deletion), and leaves the tables,
    // which the overlay library reads too, as they are. Unwritten, it still
    // holds for this run.
    const HRESULT stored = Storage().SetWalkRefused(refused);
    if (FAILED(stored) && !refused) return;
    m_walkRefused = refused;
}

bool CFileSyncThread::IsMissingItemDeleted() const { return ::IsMissingItemDeleted(m_walkRefused, CurrentRecord()); }

HRESULT CFileSyncThread::SyncSelectedFolder(const wchar_t* relativePath, uint64_t folderId) {
    SelectedFolderFacts facts;
    facts.relativePath = relativePath;
    facts.folderId = folderId;
    RequestStatus status;
    facts.metaResult = GetFileMeta(status, folderId, facts.meta);
    if (SUCCEEDED(facts.metaResult))
        facts.joined = JoinRemoteRelativePath(m_env.syncRoot.c_str(), relativePath, facts.path);
    if (NeedsRowOfSelected(facts)) {
        FileRecord row;
        facts.rowKnown = Storage().GetFile(facts.path.c_str(), row) == S_OK;
        if (NeedsRenameCheckOfSelected(facts)) facts.renamePending = IsRenamePending(row.file_id, relativePath);
        if (NeedsChangesBelowOfSelected(facts)) facts.changedBelow = HasLocalChangesBelow(facts.path.c_str());
    }
    return ExecuteOwnPlan(PlanSelectedFolder(facts));
}

HRESULT CFileSyncThread::MakeSelectedFolder(const wchar_t* path) {
    CIgnoreScope scope(m_env.syncManager->GetIgnoreList(), m_env.syncRoot.c_str());
    scope.Ignore(path);
    const HRESULT hr = CreateDirectoryTree(path, 0);
    scope.ReleaseAfter(CIgnoreScope::kReleaseDelay);
    return hr;
}

HRESULT CFileSyncThread::RecordSelectedFolder(uint64_t folderId, const FileInfo& info, const wchar_t* path) {
    FileRecord row;
    HRESULT hr = Storage().GetFile(folderId, row);
    if (hr == S_FALSE) hr = Storage().InsertFile(info, path, 0, SystemTimeTicks(), FILE_STATUS_SYNCED);
    return SUCCEEDED(hr) ? S_OK : hr;
}
