#include <shlwapi.h>

#include <cwchar>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/FileOperations.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/EngineStringIds.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/IgnoreScope.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/StopMarker.h"
#include "BrelioSync/SyncManager.h"

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
        if (!IsFolderMissingOrEmpty(folder)) return S_OK;
        bool recorded = false;
        const HRESULT listed = HasSyncedRemoteItems(storage, folderId, recorded);
        // A folder the drive no longer has leaves nothing there to take
        // for deleted; the walk tells the user about it as before.
        if (listed == API_E_ITEM_NOT_FOUND) return S_OK;
        if (FAILED(listed)) {
            Log(L"%s - the folder is empty and the drive's items could not be listed(0x%x); the full sync stopped.",
                folder, static_cast<unsigned>(listed));
            NotifyResult(folder, true, listed);
            return listed;
        }
        return recorded ? refuse(folder) : S_OK;
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

bool CFileSyncThread::IsMissingItemDeleted() const {
    if (!m_walkRefused) return true;
    return m_currentRecord != nullptr && m_currentRecord->action == CHANGE_ACTION_REMOVED;
}

HRESULT CFileSyncThread::SyncSelectedFolder(const wchar_t* relativePath, uint64_t folderId) {
    RequestStatus status;
    ChangeInfo meta;
    HRESULT hr = GetFileMeta(status, folderId, meta);
    if (FAILED(hr)) {
        NotifyResult(relativePath, false, hr);
        return E_FAIL;
    }
    std::wstring path;
    hr = JoinRemoteRelativePath(m_env.syncRoot.c_str(), relativePath, path);
    if (FAILED(hr)) {
        // Told and counted; the folder is left out of this walk.
        (void)ReportSkipped(relativePath, true, hr, L"selected folder path not usable here");
        return S_FALSE;
    }
    if (meta.changeType == "deleted") {
        FileRecord row;
        const bool known = Storage().GetFile(path.c_str(), row) == S_OK;
        // Each skip is told and counted; the folder is left out of this walk.
        if (known && IsRenamePending(row.file_id, relativePath)) {
            (void)ReportSkipped(path.c_str(), true, S_FALSE, L"local rename pending");
            return S_FALSE;
        }
        if (HasLocalChangesBelow(path.c_str())) {
            (void)ReportSkipped(path.c_str(), true, S_FALSE, L"changed locally since it was trashed remotely");
            return S_FALSE;
        }
        // A failed deletion is reported by the deletion and marks the pass
        // incomplete; the folder is left out of this walk either way.
        (void)DeleteLocalFolder(path.c_str());
        return S_FALSE;
    }
    // The selection names the folder by its path; the service gives only
    // its own name, so the last component is what can match.
    if (!IsFileType(meta.file.type.c_str()) &&
        _wcsicmp(meta.file.name.c_str(), ::PathFindFileNameW(relativePath)) != 0)
        return S_FALSE;
    {
        CIgnoreScope scope(m_env.syncManager->GetIgnoreList(), m_env.syncRoot.c_str());
        scope.Ignore(path.c_str());
        hr = CreateDirectoryTree(path.c_str(), 0);
        scope.ReleaseAfter(CIgnoreScope::kReleaseDelay);
    }
    if (FAILED(hr)) return S_FALSE;
    FileRecord row;
    hr = Storage().GetFile(folderId, row);
    if (hr == S_FALSE) hr = Storage().InsertFile(meta, path.c_str());
    return SUCCEEDED(hr) ? S_OK : S_FALSE;
}
