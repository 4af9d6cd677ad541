#include <shlwapi.h>

#include <cstring>
#include <cwchar>

#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/SyncManager.h"

namespace {

bool IsContentAsRecorded(const FileInfo& entry, const FileRecord& row) {
    return entry.revision == row.revision && _stricmp(entry.hash.c_str(), row.hash.c_str()) == 0;
}

// Every item below the remote folder has a row of the same place, revision
// (and hash): nothing was added, changed or moved in there since the last
// sync. A folder's own revision does not move when its content changes, so
// its content is looked at item by item.
bool IsRemoteSubtreeAsRecorded(CLocalStorage& storage, uint64_t folderId, const std::wstring& folderName) {
    RequestStatus status;
    FileInfoList listing;
    if (FAILED(GetFiles(status, folderId, listing, false))) return false;
    for (const FileInfo& entry : listing) {
        FileRecord row;
        if (storage.GetFile(entry.id, row) != S_OK || row.status != FILE_STATUS_SYNCED) return false;
        const std::wstring name = folderName + L"\\" + entry.name;
        if (_wcsicmp(row.name.c_str(), name.c_str()) != 0) return false;
        if (IsFileType(entry.type.c_str())) {
            if (!IsContentAsRecorded(entry, row)) return false;
        } else if (!IsRemoteSubtreeAsRecorded(storage, entry.id, name)) {
            return false;
        }
    }
    return true;
}

}  // namespace

HRESULT CFileSyncThread::SyncRemoteLeftover(const wchar_t* folderPath, const FileInfo& entry) {
    const bool isFolder = !IsFileType(entry.type.c_str());
    std::wstring path;
    HRESULT hr = JoinRemoteName(folderPath, entry.name.c_str(), path);
    if (FAILED(hr)) {
        const std::wstring shown = std::wstring(folderPath) + L"\\" + entry.name;
        return ReportSkipped(shown.c_str(), isFolder, hr, L"remote name not usable here");
    }
    // On its way to the place it was moved to here.
    if (m_movingIds.count(entry.id)) return S_OK;
    int status = FILE_STATUS_NONE;
    ChangeRecordList recorded;
    hr = Storage().GetFileStatus(entry.id, status, recorded);
    if (FAILED(hr)) return hr;
    switch (status) {
    case FILE_STATUS_CHANGED: {
        if (IsRenamePending(recorded, entry.id, nullptr)) return ReportSkipped(path.c_str(), isFolder, S_FALSE, L"local rename pending");
        // Changed here, elsewhere than the drive has it now: the remote move
        // is followed keeping the edit; changed here and then deleted here,
        // the edit went with the item and it is a deletion like any other.
        FileRecord row;
        if (Storage().GetFile(entry.id, row) == S_OK) return RemoveRemoteLeftover(path.c_str(), entry, row);
        [[fallthrough]];
    }
    case FILE_STATUS_NONE:
        // The old item of a move sent as a copy by a run cut short (no row
        // has its id since the copy took it over): the move's record
        // finishes it; brought back here, it would stand on both sides twice.
        if (IsRenamePending(recorded, entry.id, nullptr)) return ReportSkipped(path.c_str(), isFolder, S_FALSE, L"local move pending");
        // Something of that name appeared here during the walk: it is
        // compared on the next pass instead of being overwritten now.
        if (::PathFileExistsW(path.c_str()))
            return ReportSkipped(path.c_str(), isFolder, HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS), L"local item in the way");
        if (isFolder) return CreateLocalFolder(entry, path.c_str(), true);
        return Download(entry, path.c_str(), true, false);
    case FILE_STATUS_SYNCED: {
        FileRecord row;
        hr = Storage().GetFile(entry.id, row);
        if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
        return RemoveRemoteLeftover(path.c_str(), entry, row);
    }
    case FILE_STATUS_RETRANSFER:
        return Download(entry, path.c_str(), false, false);
    case FILE_STATUS_LOCAL_FAILED:
        NotifyResult(entry.name.c_str(), isFolder, E_FAIL);
        return E_FAIL;
    default:
        return S_OK;
    }
}

HRESULT CFileSyncThread::RemoveRemoteLeftover(const wchar_t* path, const FileInfo& entry, const FileRecord& row) {
    const bool isFolder = !IsFileType(entry.type.c_str());
    const std::wstring rowPath = RootJoin(row.name);
    const bool movedThere = !rowPath.empty() && _wcsicmp(rowPath.c_str(), path) != 0;
    if (!rowPath.empty() && ::PathFileExistsW(rowPath.c_str())) {
        // Still here, at the row's place: follow a move made there,
        // keeping an edit made here.
        const HRESULT moved = FollowRemoteMove(entry, path, row);
        if (FAILED(moved) || !isFolder) return moved;
        return FullSyncFolder(path, entry.id);
    }
    if (IsRenamePending(entry.id, row.name.c_str())) return ReportSkipped(path, isFolder, S_FALSE, L"local rename pending");
    // Gone here. A change on the drive since the row was written (an edit,
    // a move or rename, anything added or changed inside) beats the
    // deletion: the changed items come back, a folder holding only them;
    // the rest follows the deletion to the trash. While a refused walk
    // stands, nothing here says it was deleted: all of it comes back.
    const bool deletedHere = IsMissingItemDeleted();
    if (!isFolder) {
        if (!deletedHere || movedThere || !IsContentAsRecorded(entry, row)) return Download(entry, path, true, false);
        return DeleteRemoteEntry(entry, Relative(path));
    }
    CLocalStorage storage = Storage();
    if (deletedHere && !movedThere && IsRemoteSubtreeAsRecorded(storage, entry.id, row.name))
        return DeleteRemoteEntry(entry, Relative(path));
    if (movedThere) {
        // Its new folder comes with a later remote change: the rows stay as
        // they are until then, or the move would no longer show in them.
        const std::wstring folder(path, static_cast<size_t>(::PathFindFileNameW(path) - path));
        if (!::PathIsDirectoryW(folder.c_str())) {
            Log(L"%s - waits for its folder.", path);
            return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        }
        // The rows beneath follow the folder to its new name, so that each
        // item inside is judged at its own place.
        const HRESULT renamed = storage.SetFileName(row, rowPath.c_str(), path, row.hash, row.revision);
        if (FAILED(renamed)) return renamed;
    }
    if (deletedHere)
        Log(L"%s - deleted here, changed on the drive; what changed comes back.", path);
    else
        Log(L"%s - missing here since the sync folder was found missing or empty; it comes back.", path);
    return CreateLocalFolder(entry, path, true);
}
