#include <algorithm>
#include <cwchar>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/RemoteLookups.h"
#include "BrelioSync/StopMarker.h"
#include "BrelioSync/SyncManager.h"

// A row in sync whose item is missing on one side is a deletion only when
// everything else agrees: the other side is as the row recorded it, and the
// item did not just move. Anything else wins over the deletion.

namespace {

enum class RemoteState { Gone, Alive, Unknown };

RemoteState LookUpRemote(uint64_t fileId, HRESULT& error) {
    RequestStatus status;
    ChangeInfo meta;
    error = GetFileMeta(status, fileId, meta);
    if (SUCCEEDED(error)) return meta.changeType == "deleted" ? RemoteState::Gone : RemoteState::Alive;
    if (error == API_E_ITEM_NOT_FOUND) return RemoteState::Gone;
    return RemoteState::Unknown;
}

bool IsRowFileChanged(const FileRecord& row, const WIN32_FIND_DATAW& data) {
    const FILETIME stored = TicksToFileTime(row.last_write_time);
    return row.status != FILE_STATUS_SYNCED || ::CompareFileTime(&stored, &data.ftLastWriteTime) != 0 ||
           FindDataSize(data) != row.size;
}

// The record being carried out is what is being done, not pending.
void DropRecordCarriedOut(const ChangeRecord* current, ChangeRecordList& pending) {
    if (current == nullptr) return;
    const std::vector<int64_t>& rows = current->row_ids;
    std::erase_if(pending, [&](const ChangeRecord& change) {
        return !change.row_ids.empty() && std::find(rows.begin(), rows.end(), change.row_ids.front()) != rows.end();
    });
}

}  // namespace

bool CFileSyncThread::ReadPendingChanges(ChangeRecordList& pending) {
    if (FAILED(Storage().GetChanges(pending, false))) return false;
    DropRecordCarriedOut(m_currentRecord, pending);
    return true;
}

bool CFileSyncThread::IsRenamePending(uint64_t fileId, const wchar_t* relativeName) {
    ChangeRecordList changes;
    if (!ReadPendingChanges(changes)) return true;  // unknown: do not delete
    return IsRenamePending(changes, fileId, relativeName);
}

bool CFileSyncThread::IsRenamePending(const ChangeRecordList& recorded, uint64_t fileId, const wchar_t* relativeName) {
    ChangeRecordList changes = recorded;
    DropRecordCarriedOut(m_currentRecord, changes);
    const std::wstring name = relativeName != nullptr ? relativeName : L"";
    for (const ChangeRecord& change : changes) {
        if (change.action != CHANGE_ACTION_RENAMED) continue;
        if (fileId != 0 && change.file_id == fileId) return true;
        if (!name.empty() && (IsSameOrBelow(name, change.old_name) || IsSameOrBelow(name, change.name))) return true;
    }
    return false;
}

bool CFileSyncThread::IsMoveIntoPending(const wchar_t* folderName) {
    ChangeRecordList changes;
    if (!ReadPendingChanges(changes)) return true;
    const std::wstring folder = folderName;
    for (const ChangeRecord& change : changes)
        if (change.action == CHANGE_ACTION_RENAMED && change.name.size() > folder.size() &&
            IsSameOrBelow(change.name, folder) && !IsSameOrBelow(change.old_name, folder))
            return true;
    return false;
}

bool CFileSyncThread::IsPlaceChangePending(uint64_t fileId) {
    ChangeRecordList changes;
    if (!ReadPendingChanges(changes)) return true;
    for (const ChangeRecord& change : changes)
        if (change.file_id == fileId &&
            (change.action == CHANGE_ACTION_RENAMED || change.action == CHANGE_ACTION_REMOVED))
            return true;
    return false;
}

bool CFileSyncThread::IsRenamedLater(uint64_t fileId) {
    if (m_currentRecord == nullptr || m_currentRecord->row_ids.empty()) return false;
    ChangeRecordList changes;
    if (!ReadPendingChanges(changes)) return false;
    const int64_t current = *std::max_element(m_currentRecord->row_ids.begin(), m_currentRecord->row_ids.end());
    for (const ChangeRecord& change : changes)
        if (change.action == CHANGE_ACTION_RENAMED && change.file_id == fileId && !change.row_ids.empty() &&
            change.row_ids.front() > current)
            return true;
    return false;
}

bool CFileSyncThread::HasLocalChangesBelow(const wchar_t* folderPath) {
    std::wstring pattern;
    if (!JoinName(folderPath, L"*.*", pattern)) return true;
    WIN32_FIND_DATAW data = {};
    const brelio::UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
    if (!find) return ::GetLastError() != ERROR_FILE_NOT_FOUND;
    bool changed = false;
    do {
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (IsEngineOwnFile(data.cFileName)) continue;
        if (isFolder && (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0)) continue;
        std::wstring path;
        FileRecord row;
        if (!JoinName(folderPath, data.cFileName, path) || Storage().GetFile(path.c_str(), row) != S_OK) {
            changed = true;
        } else if (isFolder) {
            changed = row.status != FILE_STATUS_SYNCED || HasLocalChangesBelow(path.c_str());
        } else {
            changed = IsRowFileChanged(row, data);
        }
    } while (!changed && ::FindNextFileW(find.Get(), &data));
    return changed;
}

bool CFileSyncThread::IsRemoteItemGone(const wchar_t* path, bool isFolder, uint64_t fileId, HRESULT& outcome) {
    HRESULT hr = S_OK;
    switch (LookUpRemote(fileId, hr)) {
    case RemoteState::Unknown:
        outcome = ReportSkipped(path, isFolder, hr, L"remote state unknown");
        return false;
    case RemoteState::Alive:
        // Moved or renamed remotely: the walk of its new place moves it.
        Log(isFolder ? L"%s - kept, the remote folder lives elsewhere." : L"%s - kept, the remote item lives elsewhere.",
            path);
        outcome = S_OK;
        return false;
    case RemoteState::Gone:
        break;
    }
    return true;
}

HRESULT CFileSyncThread::DeleteLocalFileChecked(const wchar_t* path, const WIN32_FIND_DATAW& data,
                                                uint64_t folderId) {
    FileRecord row;
    HRESULT hr = Storage().GetFile(path, row);
    if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
    if (IsRenamePending(row.file_id, Relative(path))) return ReportSkipped(path, false, S_FALSE, L"local rename pending");
    HRESULT outcome = S_OK;
    if (!IsRemoteItemGone(path, false, row.file_id, outcome)) return outcome;
    // Edited here since the last sync: the edit survives as a new file.
    if (IsRowFileChanged(row, data)) {
        if (folderId == kUnknownParentId)
            return ReportSkipped(path, false, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), L"parent folder not synced yet");
        return UploadFile(folderId, path, 0, true, false);
    }
    return DeleteLocalFile(path);
}

HRESULT CFileSyncThread::DeleteLocalFolderChecked(const wchar_t* path, const WIN32_FIND_DATAW& data,
                                                  uint64_t folderId) {
    FileRecord row;
    HRESULT hr = Storage().GetFile(path, row);
    if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
    if (IsRenamePending(row.file_id, Relative(path))) return ReportSkipped(path, true, S_FALSE, L"local rename pending");
    HRESULT outcome = S_OK;
    if (!IsRemoteItemGone(path, true, row.file_id, outcome)) return outcome;
    // An item moved in here and not yet sent is a change inside too.
    if (!HasLocalChangesBelow(path) && !IsMoveIntoPending(Relative(path))) return DeleteLocalFolder(path);
    // Something inside changed since the last sync: the folder goes up
    // again holding what changed; the rest follows the deletion.
    return RecreateRemoteFolder(path, data, folderId);
}

HRESULT CFileSyncThread::RecreateRemoteFolder(const wchar_t* path, const WIN32_FIND_DATAW& data, uint64_t parentId) {
    if (parentId == kUnknownParentId)
        return ReportSkipped(path, true, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), L"parent folder not synced yet");
    uint64_t childId = 0;
    const HRESULT hr = CreateRemoteFolder(parentId, path, data, childId);
    if (FAILED(hr)) return hr;
    // The rows beneath keep the ids of the trashed items: each item is
    // settled on its own against that, changed ones going up as new items,
    // unchanged ones following the deletion.
    return FullSyncFolder(path, childId);
}

HRESULT CFileSyncThread::DeleteLocalChecked(const wchar_t* path, bool isFolder) {
    WIN32_FIND_DATAW data = {};
    if (!brelio::UniqueFindHandle(::FindFirstFileW(path, &data))) {
        // Gone here as well: only the row was left.
        const HRESULT dropped = Storage().SetFileStatus(path, isFolder, FILE_STATUS_DELETE);
        if (SUCCEEDED(dropped)) Log(L"%s - deleted.", path);
        return dropped;
    }
    uint64_t parentId = kUnknownParentId;
    const HRESULT found = Storage().GetParentFileId(path, parentId);
    if (FAILED(found)) return found;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return DeleteLocalFolderChecked(path, data, parentId);
    return DeleteLocalFileChecked(path, data, parentId);
}

HRESULT CFileSyncThread::UploadChangedUnlisted(const wchar_t* path, uint64_t folderId) {
    FileRecord row;
    HRESULT hr = Storage().GetFile(path, row);
    if (FAILED(hr)) return hr;
    // Edited here, moved there: its move brings it, edit and all; a new
    // item here would be a second copy.
    HRESULT outcome = S_OK;
    if (hr == S_OK && row.file_id != 0 && !IsRemoteItemGone(path, false, row.file_id, outcome)) return outcome;
    // Edited here, gone there (or never there): the edit goes up as a new file.
    return UploadFile(folderId, path, 0, true, false);
}
