// The reconciliation of one partial sync: local change records first, then
// the remote changes they left.
#include <shlwapi.h>

#include <cwchar>

#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/RelativePath.h"
#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/RemoteLookups.h"
#include "BrelioSync/SyncManager.h"

namespace {

bool IsDeleted(const ChangeInfo& change) { return change.changeType == "deleted"; }

}  // namespace

bool CFileSyncThread::IsSelected(const wchar_t* relativeName) const {
    const CSyncFolderList* selected = m_env.selectedFolders;
    if (selected == nullptr || selected->IsEmpty()) return true;
    return relativeName != nullptr && selected->ContainsPathPrefix(relativeName);
}

HRESULT CFileSyncThread::Reconcile(ChangeRecordList& localChanges, ChangeInfoList& remoteChanges,
                                   ReconcileOutcome& outcome) {
    HRESULT result = S_OK;
    RenameMap renames;
    m_replacedIds.clear();
    m_syncedNames.clear();
    m_remoteChanges = &remoteChanges;
    size_t next = 0;
    for (; next < localChanges.size(); ++next) {
        if (CheckStop()) break;
        const ChangeRecord& record = localChanges[next];
        if (!IsSelected(record.name.c_str())) {
            SettleLocalChange(record);
            continue;
        }
        ChangeInfo* matched = nullptr;
        const uint32_t code = ClassifyLocalChange(record, remoteChanges, matched);
        LogChangeCode(code, record.name.c_str());
        m_currentRecord = &record;
        result = ActOnLocalChange(code, record, matched, renames);
        m_currentRecord = nullptr;
        if (FAILED(result)) {
            // The record stays in the change table for the next pass.
            ++outcome.unsettledLocalCount;
            if (matched != nullptr) outcome.MarkUnsettled(*matched);
        } else {
            SettleLocalChange(record);
        }
        if (matched != nullptr) RemoveRemoteChange(remoteChanges, matched);
    }
    m_remoteChanges = nullptr;
    if (CheckStop()) {
        // Nothing of what is left ran: all of it waits for the next pass
        // (the local records are still in the change table).
        outcome.unsettledLocalCount += localChanges.size() - next;
        for (const ChangeInfo& change : remoteChanges) outcome.MarkUnsettled(change);
        return S_OK;
    }

    // A change whose item waits for a folder that a later change brings
    // (the drive lists each item at its place now, and a folder renamed
    // after an item moved into it comes later) goes once more at the end.
    std::vector<size_t> waiting;
    bool retrying = false;
    for (size_t step = 0; step < remoteChanges.size() + waiting.size(); ++step) {
        if (step == remoteChanges.size()) retrying = true;
        const size_t index = retrying ? waiting[step - remoteChanges.size()] : step;
        const ChangeInfo& change = remoteChanges[index];
        if (CheckStop()) {
            for (size_t left = retrying ? remoteChanges.size() : index; left < remoteChanges.size(); ++left)
                outcome.MarkUnsettled(remoteChanges[left]);
            for (const size_t left : waiting) outcome.MarkUnsettled(remoteChanges[left]);
            return S_OK;
        }
        // An item replaced by a new one at the place the local user moved
        // it to: what changed there came along before the old one went.
        if (m_replacedIds.count(change.file.id)) continue;
        const std::wstring relative = RemotePathToRowName(change.file.path);
        std::wstring fullPath;
        if (!IsDeleted(change)) {
            const HRESULT joined = JoinRemoteRelativePath(m_env.syncRoot.c_str(), relative, fullPath);
            if (FAILED(joined)) {
                // A name this folder cannot hold never becomes holdable by
                // asking again: it is reported, not retried.
                Log(L"%s - refused remote path(0x%x).", relative.c_str(), static_cast<unsigned>(joined));
                NotifyResult(relative.c_str(), !IsFileType(change.file.type.c_str()), joined);
                continue;
            }
        } else if (!JoinName(m_env.syncRoot.c_str(), relative, fullPath)) {
            // Only to name the item in the log: a deleted item without a row
            // has no local path of its own, and its name is never used
            // to touch the folder.
            fullPath = relative;
        }
        const uint32_t code = ClassifyRemoteChange(fullPath, change);
        if (!IsSelected(Relative(fullPath.c_str()))) continue;
        result = ActOnRemoteChange(code, change, fullPath);
        if (result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) && !retrying) {
            waiting.push_back(index);
            continue;
        }
        if (FAILED(result)) outcome.MarkUnsettled(change);
    }
    return result;
}

void CFileSyncThread::SettleLocalChange(const ChangeRecord& record) {
    const HRESULT deleted = Storage().DeleteChanges(record.row_ids);
    // Left in the table, the record is carried out once more next pass;
    // every local action finds its work already done then.
    if (FAILED(deleted)) Log(L"%s - change kept for the next sync(0x%x).", record.name.c_str(), static_cast<unsigned>(deleted));
}

HRESULT CFileSyncThread::ActOnLocalChange(uint32_t code, const ChangeRecord& record, ChangeInfo*& matched,
                                          RenameMap& renames) {
    const std::wstring full = RootJoin(record.name);
    if (full.empty()) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    const bool exists = ::PathFileExistsW(full.c_str()) != FALSE;
    CLocalStorage storage = Storage();
    if (record.action == CHANGE_ACTION_RENAMED && record.file_id != 0)
        m_syncedNames.emplace(record.file_id, record.old_name);
    switch (code) {
        case CHANGE_ADDED_LOCAL: {
            if (!exists) return S_OK;
            if (!record.is_folder) return UploadChangedFile(0, full.c_str());
            uint64_t folderId = 0;
            const HRESULT created = CreateRemoteFolderForPath(full.c_str(), folderId);
            if (FAILED(created)) return created;
            // Done only once its content went up: a folder that came whole
            // has no change of its own for what it holds.
            return FullSyncFolder(full.c_str(), folderId);
        }
        case CHANGE_MODIFIED_LOCAL:
            return exists ? UploadChangedFile(record.file_id, full.c_str()) : S_OK;
        case CHANGE_MODIFIED_BOTH: {
            // Renamed or removed later in this pass: its later record meets
            // the remote change.
            if (!exists) {
                matched = nullptr;
                return S_OK;
            }
            FileRecord row;
            const HRESULT found = storage.GetFile(matched->file.id, row);
            if (FAILED(found)) return found;
            if (found == S_FALSE) return ResolveBothModified(matched->file, full.c_str(), true);
            std::wstring place;
            const HRESULT joined = JoinRemoteRelativePath(m_env.syncRoot.c_str(), RemotePathToRowName(matched->file.path), place);
            if (FAILED(joined)) return ReportSkipped(full.c_str(), record.is_folder, joined, L"unusable remote path");
            // Edited here, changed there: a move or rename there is followed,
            // and only content edited on both sides is a conflict.
            const HRESULT followed = FollowRemoteMove(matched->file, place.c_str(), row);
            if (followed == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) {
                // Its new folder comes with a later remote change: the remote
                // phase follows the move then, and sees the edit by the row.
                matched = nullptr;
                return S_OK;
            }
            return followed;
        }
        case CHANGE_REMOVED_LOCAL: {
            if (record.file_id == 0) return S_OK;
            // Seen gone before its rename was read: the rename, recorded
            // after, tells where it went.
            if (IsRenamedLater(record.file_id)) return S_OK;
            if (!record.is_folder) {
                int status = FILE_STATUS_NONE;
                if (SUCCEEDED(storage.GetFileStatus(record.file_id, status)) && status == FILE_STATUS_RETRANSFER)
                    return DownloadById(record.file_id, full.c_str(), false);
            }
            for (const auto& [path, fileId] : renames) {
                if (fileId != record.file_id) continue;
                // The item lives on under its other name (a save that
                // renamed the old file away); renamed and then removed, it
                // lives nowhere.
                if (_wcsicmp(path.c_str(), full.c_str()) != 0 && ::PathFileExistsW(path.c_str())) return S_OK;
                break;
            }
            // A folder's own revision does not tell whether anything in it
            // changed on the drive: its content is looked at first.
            if (record.is_folder) return SettleLocalFolderRemoval(record, full.c_str());
            return DeleteRemote(record.file_id, record.name.c_str(), record.is_folder);
        }
        case CHANGE_REMOVED_BOTH: {
            if (record.file_id == 0) return S_OK;
            // Gone on both sides, the item is settled once its row is gone
            // too: a row left would still say it is in sync.
            const HRESULT dropped = storage.SetFileStatus(record.file_id, record.is_folder, FILE_STATUS_DELETE);
            NotifyResult(full.c_str(), record.is_folder, dropped);
            return dropped;
        }
        case CHANGE_RENAMED_LOCAL: {
            if (!exists) {
                if (record.file_id == 0) return S_OK;
                const std::wstring oldFull = RootJoin(record.old_name);
                if (!oldFull.empty()) renames[oldFull] = record.file_id;
                return SettleVanishedItem(record);
            }
            if (record.file_id != 0) {
                int status = FILE_STATUS_NONE;
                if (FAILED(storage.GetFileStatus(record.file_id, status))) return S_OK;
                // In sync already: sent by a run cut short before it could
                // strike the record off, or only its content went up since
                // (an edit uploaded ahead of a move that could not go yet).
                // An edit sent under the old name (the same name to the file
                // system) marks the row in sync too; the new letter case is
                // still to be sent. The drive's place tells which.
                const bool letterCase = DiffersOnlyInLetterCase(record.name, record.old_name);
                if (status == FILE_STATUS_CHANGED || status == FILE_STATUS_SYNCED ||
                    (letterCase && status != FILE_STATUS_NONE))
                    return SendLocalRename(record, full.c_str());
                // No row has the item's id any more: a copy to its new place
                // took it over.
                if (status == FILE_STATUS_NONE) return ResumeMoveByCopy(record, full.c_str());
                return S_OK;
            }
            if (record.is_folder) {
                uint64_t folderId = 0;
                return CreateRemoteFolderForPath(full.c_str(), folderId);
            }
            const auto renamed = renames.find(full);
            return UploadChangedFile(renamed == renames.end() ? 0 : renamed->second, full.c_str());
        }
        case CHANGE_MOVED_BOTH:
            if (!exists) {
                // Renamed again later in this pass: the last record meets the
                // remote change.
                const std::wstring oldFull = RootJoin(record.old_name);
                if (!oldFull.empty()) renames[oldFull] = record.file_id;
                matched = nullptr;
                return SettleVanishedItem(record);
            }
            return SettleRenameAgainstRemote(record, full.c_str(), *matched);
        default:
            return S_OK;
    }
}

HRESULT CFileSyncThread::ActOnRemoteChange(uint32_t code, const ChangeInfo& change, const std::wstring& fullPath) {
    const FileInfo& remote = change.file;
    const bool isFolder = !IsFileType(remote.type.c_str());
    switch (code) {
        case CHANGE_ADDED_REMOTE:
            if (isFolder) return CreateLocalFolder(remote, fullPath.c_str(), false);
            return Download(remote, fullPath.c_str(), true, false);
        case CHANGE_MODIFIED_REMOTE:
            return Download(remote, fullPath.c_str(), false, false);
        case CHANGE_MODIFIED_BOTH: {
            int status = FILE_STATUS_NONE;
            const bool hasRow = SUCCEEDED(Storage().GetFileStatus(remote.id, status)) && status != FILE_STATUS_NONE;
            return ResolveBothModified(remote, fullPath.c_str(), !hasRow);
        }
        case CHANGE_REMOVED_REMOTE:
            // The same checks as the full walk: work not uploaded yet, or an
            // edit made while the program was not running, is not recycled.
            return DeleteLocalChecked(fullPath.c_str(), isFolder);
        case CHANGE_MOVED_REMOTE:
        case CHANGE_MOVED_BOTH: {
            // Not at its remote place here: moved there, or removed here.
            // The row says which, and what each side did to the content.
            FileRecord row;
            const HRESULT found = Storage().GetFile(remote.id, row);
            if (found != S_OK) return FAILED(found) ? found : S_OK;
            // The change was fetched before this pass sent its own renames
            // (a folder renamed here moves what is inside): its place is
            // asked again.
            RequestStatus status;
            ChangeInfo now;
            const HRESULT asked = GetFileMeta(status, remote.id, now);
            if (FAILED(asked) && asked != API_E_ITEM_NOT_FOUND) return asked;
            if (FAILED(asked) || now.changeType == "deleted") return S_OK;  // the next pass meets the deletion
            std::wstring place;
            const HRESULT joined = JoinRemoteRelativePath(m_env.syncRoot.c_str(), RemotePathToRowName(now.file.path), place);
            if (FAILED(joined)) return ReportSkipped(fullPath.c_str(), isFolder, joined, L"unusable remote path");
            return RemoveRemoteLeftover(place.c_str(), now.file, row);
        }
        case CHANGE_FAILED_LOCAL:
            NotifyResult(fullPath.c_str(), isFolder, E_FAIL);
            return S_OK;
        case CHANGE_NAME_TAKEN:
            return RefuseTakenName(fullPath.c_str(), isFolder);
        case CHANGE_MODIFIED_REVISION:
            return Storage().SetFileRevision(remote.id, remote.revision, remote.version);
        default:
            return S_OK;
    }
}

HRESULT CFileSyncThread::ResolveBothModified(const FileInfo& remote, const wchar_t* fullPath, bool insert) {
    HRESULT hr = RecordIfSameContent(remote, fullPath);
    if (hr != S_FALSE) return hr;
    std::wstring copyPath;
    hr = KeepConflictCopy(fullPath, copyPath);
    if (FAILED(hr)) {
        Log(L"%s - failed to make a conflict copy(0x%x).", fullPath, static_cast<unsigned>(hr));
        NotifyResult(fullPath, false, hr);
        return hr;
    }
    hr = Download(remote, fullPath, insert, false);
    if (FAILED(hr)) return hr;
    return UploadChangedFile(0, copyPath.c_str());
}
