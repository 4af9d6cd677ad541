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

// Every item below the remote folder has a row of the same revision (and
// hash): nothing was added or changed there since the last sync. A folder's
// own revision does not move when its content changes, so its content is
// looked at item by item.
bool IsRemoteSubtreeAsRecorded(CLocalStorage& storage, uint64_t folderId) {
    RequestStatus status;
    FileInfoList listing;
    if (FAILED(GetFiles(status, folderId, listing, false))) return false;
    for (const FileInfo& entry : listing) {
        FileRecord row;
        if (storage.GetFile(entry.id, row) != S_OK || row.status != FILE_STATUS_SYNCED) return false;
        if (IsFileType(entry.type.c_str())) {
            if (!IsContentAsRecorded(entry, row)) return false;
        } else if (!IsRemoteSubtreeAsRecorded(storage, entry.id)) {
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
    int status = FILE_STATUS_NONE;
    hr = Storage().GetFileStatus(entry.id, status);
    if (FAILED(hr)) return hr;
    switch (status) {
    case FILE_STATUS_CHANGED:
        if (IsRenamePending(entry.id, nullptr)) return ReportSkipped(path.c_str(), isFolder, S_FALSE, L"local rename pending");
        [[fallthrough]];
    case FILE_STATUS_NONE:
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
    const bool contentAsRecorded = isFolder || IsContentAsRecorded(entry, row);
    if (!rowPath.empty() && _wcsicmp(rowPath.c_str(), path) != 0 && ::PathFileExistsW(rowPath.c_str())) {
        // Moved remotely, still in its old place here: follow the move.
        const HRESULT moved = MoveLocal(entry.id, Relative(path), contentAsRecorded ? entry.hash : row.hash,
                                        contentAsRecorded ? entry.revision : row.revision);
        if (FAILED(moved)) return moved;
        if (isFolder) return FullSyncFolder(path, entry.id);
        return contentAsRecorded ? moved : Download(entry, path, false, false);
    }
    if (IsRenamePending(entry.id, row.name.c_str())) return ReportSkipped(path, isFolder, S_FALSE, L"local rename pending");
    if (!contentAsRecorded) return Download(entry, path, true, false);
    if (isFolder) {
        CLocalStorage storage = Storage();
        if (!IsRemoteSubtreeAsRecorded(storage, entry.id)) {
            // Changed remotely since the local folder went: it comes back.
            Storage().SetFileStatus(entry.id, true, FILE_STATUS_DELETE);
            return CreateLocalFolder(entry, path, true);
        }
    }
    return DeleteRemoteEntry(entry, Relative(path));
}
