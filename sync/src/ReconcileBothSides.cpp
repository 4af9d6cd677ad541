// Decisions where both sides changed one item since the last pass, or one
// side removed what the other changed. The rules:
// - a change (edit, addition, rename, move) beats a delete: the changed
//   items come back on the deleting side, a folder holding only them;
// - renamed differently on both sides: the remote name wins, for both;
// - a rename on one side and an edit on the other both apply;
// - only content edited on both sides is a conflict: the remote content
//   keeps the name, the local one lives on as a conflict copy.
#include <shlwapi.h>

#include <cstring>
#include <cwchar>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/RemoteLookups.h"
#include "BrelioSync/SyncManager.h"

namespace {

bool SameName(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

// The folder part of a row name; empty at the top of the sync folder.
std::wstring FolderOfName(const std::wstring& name) {
    const size_t slash = name.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : name.substr(0, slash);
}

// The last component of a row name.
std::wstring LeafOfName(const std::wstring& name) {
    const size_t slash = name.find_last_of(L'\\');
    return slash == std::wstring::npos ? name : name.substr(slash + 1);
}

}  // namespace

bool CFileSyncThread::IsRemoteFolderOf(const std::wstring& localFolder, const std::wstring& remoteFolder) {
    // A folder is known by its id, not by its path: renamed or moved on
    // either side, it is still the same folder.
    if (localFolder.empty()) return remoteFolder.empty();
    uint64_t folderId = 0;
    for (const auto& [id, name] : m_syncedNames)
        if (SameName(name, localFolder)) folderId = id;
    FileRecord row;
    if (folderId == 0 && Storage().GetFile(RootJoin(localFolder).c_str(), row) == S_OK) folderId = row.file_id;
    if (folderId == 0) return SameName(localFolder, remoteFolder);
    RequestStatus status;
    ChangeInfo meta;
    if (FAILED(GetFileMeta(status, folderId, meta)) || meta.changeType == "deleted")
        return SameName(localFolder, remoteFolder);
    return SameName(RemotePathToRowName(meta.file.path), remoteFolder);
}

HRESULT CFileSyncThread::FollowRemoteMove(const FileInfo& remote, const wchar_t* path, const FileRecord& row) {
    const bool isFolder = !IsFileType(remote.type.c_str());
    const std::wstring rowPath = RootJoin(row.name);
    // The file against its row, not against the drive: an edit made here,
    // recorded or not (the program may not have been running), is seen.
    const bool changedHere = !isFolder && IsLocalFileChanged(rowPath.c_str(), TicksToFileTime(row.last_write_time), row.size);
    const bool changedThere = !isFolder && _stricmp(remote.hash.c_str(), row.hash.c_str()) != 0;
    // A name that differs only in letter case is a rename too.
    const bool moved = !IsSameSpelledPlace(rowPath, path);
    if (moved) {
        const std::wstring folder(path, static_cast<size_t>(::PathFindFileNameW(path) - path));
        if (!::PathIsDirectoryW(folder.c_str())) {
            // The folder it moved into is not here yet (a change later in
            // the list renames or makes it): the move waits for it, and is
            // no failure of the item.
            Log(L"%s - waits for its folder.", path);
            return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        }
        // The row keeps the recorded content until the content is settled
        // below, so that nothing claims a content this file does not hold.
        const HRESULT hr = MoveLocal(remote.id, Relative(path), changedThere ? row.hash : remote.hash,
                                     changedThere ? row.revision : remote.revision);
        if (FAILED(hr)) return hr;
    } else if (!changedThere) {
        const HRESULT hr = Storage().SetFileRevision(remote.id, remote.revision, remote.version);
        if (FAILED(hr)) return hr;
    }
    if (changedThere) return changedHere ? ResolveBothModified(remote, path, false) : Download(remote, path, false, false);
    if (changedHere) return UploadChangedFile(remote.id, path);
    // Nothing left to send: a rename recorded here is settled by the move.
    return Storage().SetFileStatus(remote.id, isFolder, FILE_STATUS_SYNCED);
}

HRESULT CFileSyncThread::SettleRenameAgainstRemote(const ChangeRecord& record, const wchar_t* fullPath,
                                                   const ChangeInfo& change) {
    if (change.changeType == "deleted") return KeepRenamedAgainstRemoteDeletion(record, fullPath);
    const FileInfo& remote = change.file;
    FileRecord row;
    HRESULT hr = Storage().GetFile(record.file_id, row);
    if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
    // Where the drive has it now against where it was when both sides
    // last agreed (the first old name of its renames in this pass).
    const std::wstring remoteName = RemotePathToRowName(remote.path);
    const auto synced = m_syncedNames.find(record.file_id);
    const std::wstring syncedName = synced != m_syncedNames.end() ? synced->second : record.old_name;
    // Only the item's own name or folder counts: a folder above it renamed
    // on the drive moves no item of its own accord.
    const bool movedThere = LeafOfName(remoteName) != LeafOfName(syncedName) ||
                            !IsRemoteFolderOf(FolderOfName(syncedName), FolderOfName(remoteName));
    if (movedThere) {
        // Renamed on both sides: the remote name wins, on both sides, and
        // no second item is made.
        std::wstring place;
        hr = JoinRemoteRelativePath(m_env.syncRoot.c_str(), remoteName, place);
        if (FAILED(hr)) return ReportSkipped(fullPath, record.is_folder, hr, L"unusable remote path");
        Log(L"%s - renamed on both sides, the drive's name is kept.", fullPath);
        return FollowRemoteMove(remote, place.c_str(), row);
    }
    // Renamed here, changed there: the remote content comes into the file
    // first, so that the rename carries the newest content.
    hr = FollowRemoteMove(remote, fullPath, row);
    if (FAILED(hr)) return hr;
    return SendLocalRename(record, fullPath);
}

HRESULT CFileSyncThread::SendLocalRename(const ChangeRecord& record, const wchar_t* fullPath) {
    RequestStatus status;
    ChangeInfo meta;
    HRESULT hr = GetFileMeta(status, record.file_id, meta);
    if (FAILED(hr) && hr != API_E_ITEM_NOT_FOUND) return ReportSkipped(fullPath, record.is_folder, hr, L"remote state unknown");
    if (FAILED(hr) || meta.changeType == "deleted") return KeepRenamedAgainstRemoteDeletion(record, fullPath);
    const std::wstring remoteName = RemotePathToRowName(meta.file.path);
    if (IsSameSpelledPlace(remoteName, record.name)) {
        // Back where the drive has it: no place to send, only an edit. (A
        // name that differs only in letter case is still to be sent.)
        FileRecord row;
        hr = Storage().GetFile(record.file_id, row);
        if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
        if (!record.is_folder && IsLocalFileChanged(fullPath, TicksToFileTime(row.last_write_time), row.size))
            return UploadChangedFile(record.file_id, fullPath);
        return Storage().SetFileStatus(record.file_id, record.is_folder, FILE_STATUS_SYNCED);
    }
    if (IsRemoteFolderOf(FolderOfName(record.name), FolderOfName(remoteName))) {
        hr = RenameRemote(record.file_id, record.name.c_str(), record.old_name.c_str());
        if (FAILED(hr) || record.is_folder) return hr;
        // A rename sends no content: an edit made along with it goes up too.
        if (IsUploadRecorded(record.file_id, fullPath)) return hr;
        return UploadChangedFile(record.file_id, fullPath);
    }
    if (!record.is_folder) {
        FileRecord row;
        hr = Storage().GetFile(record.file_id, row);
        if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
        // Changed on the drive since the last pass: that content comes
        // into the moved file before the old item goes to the trash.
        if (_stricmp(meta.file.hash.c_str(), row.hash.c_str()) != 0) {
            hr = FollowRemoteMove(meta.file, fullPath, row);
            if (FAILED(hr)) return hr;
        }
    }
    // Moved to another folder here.
    return MoveRemoteByCopy(record.file_id, remoteName.c_str(), fullPath, record.is_folder);
}

HRESULT CFileSyncThread::KeepRenamedAgainstRemoteDeletion(const ChangeRecord& record, const wchar_t* fullPath) {
    // Renamed here, trashed there: the renamed item survives under its new
    // name, as a new item on the drive.
    Log(L"%s - renamed here, trashed on the drive; it goes up again.", fullPath);
    uint64_t parentId = kUnknownParentId;
    HRESULT hr = Storage().GetParentFileId(fullPath, parentId);
    if (FAILED(hr)) return hr;
    if (hr == S_FALSE || parentId == kUnknownParentId)
        return ReportSkipped(fullPath, record.is_folder, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND),
                             L"parent folder not synced yet");
    if (!record.is_folder) return UploadFile(parentId, fullPath, 0, true, false);
    WIN32_FIND_DATAW data = {};
    if (!brelio::UniqueFindHandle(::FindFirstFileW(fullPath, &data))) return S_OK;
    return RecreateRemoteFolder(fullPath, data, parentId);
}

HRESULT CFileSyncThread::SettleLocalFolderRemoval(const ChangeRecord& record, const wchar_t* fullPath) {
    RequestStatus status;
    ChangeInfo meta;
    HRESULT hr = GetFileMeta(status, record.file_id, meta);
    const bool goneThere = hr == API_E_ITEM_NOT_FOUND || (SUCCEEDED(hr) && meta.changeType == "deleted");
    if (goneThere) {
        // Settled once its row is gone too: a row left would still say the
        // folder is in sync.
        const HRESULT dropped = Storage().SetFileStatus(record.file_id, true, FILE_STATUS_DELETE);
        NotifyResult(fullPath, true, dropped);
        return dropped;
    }
    if (FAILED(hr)) return ReportSkipped(fullPath, true, hr, L"remote state unknown");
    FileRecord row;
    hr = Storage().GetFile(record.file_id, row);
    if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
    hr = SettleMovesOutOf(row.name, RemotePathToRowName(meta.file.path));
    if (FAILED(hr)) return hr;
    std::wstring place;
    hr = JoinRemoteRelativePath(m_env.syncRoot.c_str(), RemotePathToRowName(meta.file.path), place);
    if (FAILED(hr)) return ReportSkipped(fullPath, true, hr, L"unusable remote path");
    // Removed here: what changed on the drive inside it since the last pass
    // comes back, the folder holding only that; the rest goes to the trash.
    return RemoveRemoteLeftover(place.c_str(), meta.file, row);
}

HRESULT CFileSyncThread::SettleVanishedItem(const ChangeRecord& record) {
    // A later record of the item says where it went (a rename chain, the
    // removal of a file renamed away by an editor's save): that one decides.
    if (IsPlaceChangePending(record.file_id)) return S_OK;
    FileRecord row;
    HRESULT hr = Storage().GetFile(record.file_id, row);
    if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
    ChangeInfo* remote = nullptr;
    if (m_remoteChanges != nullptr)
        for (ChangeInfo& change : *m_remoteChanges)
            if (change.file.id == record.file_id) remote = &change;
    const std::wstring place = RootJoin(row.name);
    if (::PathFileExistsW(place.c_str())) {
        // Moved on with a folder that was renamed or moved here after it:
        // its own new name and place are settled now (a folder that then
        // goes up anew at another place takes it along as it is).
        ChangeRecord moved = record;
        moved.name = row.name;
        if (remote == nullptr) return SendLocalRename(moved, place.c_str());
        hr = SettleRenameAgainstRemote(moved, place.c_str(), *remote);
        // Its remote place needs a folder a later remote change brings: the
        // remote phase follows the move then.
        if (hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) return S_OK;
        if (SUCCEEDED(hr)) RemoveRemoteChange(*m_remoteChanges, remote);
        return hr;
    }
    // Changed on the drive too: a change beats the delete, and the remote
    // phase brings it back at its remote place.
    if (remote != nullptr) return S_OK;
    // A folder's own revision does not tell whether anything in it changed
    // on the drive: what did comes back, the rest goes to the trash.
    if (row.is_folder) {
        ChangeRecord removed = record;
        removed.name = row.name;
        return SettleLocalFolderRemoval(removed, place.c_str());
    }
    // Gone with a folder deleted here, unchanged there: a plain deletion.
    Log(L"%s - gone here with its folder.", place.c_str());
    return DeleteRemote(record.file_id, row.name.c_str(), row.is_folder);
}
