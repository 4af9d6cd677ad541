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
#include "BrelioSync/WalkPlan.h"
#include "BrelioSync/SyncManager.h"

// The gathering for the deletion checks of the full walk: the rule itself
// is PlanLocalDeletion's (sync/src/plan/PlanWalkDeletion.cpp).

namespace {

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
    DropRecordCarriedOut(CurrentRecord(), pending);
    return true;
}

bool CFileSyncThread::IsRenamePending(uint64_t fileId, const wchar_t* relativeName) {
    ChangeRecordList changes;
    if (!ReadPendingChanges(changes)) return true;  // unknown: do not delete
    return IsRenamePending(changes, fileId, relativeName);
}

bool CFileSyncThread::IsRenamePending(const ChangeRecordList& recorded, uint64_t fileId, const wchar_t* relativeName) {
    ChangeRecordList changes = recorded;
    DropRecordCarriedOut(CurrentRecord(), changes);
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

bool CFileSyncThread::IsRenamedLater(uint64_t fileId, const PassContext& pass) {
    const ChangeRecord* record = pass.currentRecord;
    if (record == nullptr || record->row_ids.empty()) return false;
    ChangeRecordList changes;
    if (!ReadPendingChanges(changes)) return false;
    const int64_t current = *std::max_element(record->row_ids.begin(), record->row_ids.end());
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

HRESULT CFileSyncThread::DeleteLocalItemChecked(const wchar_t* path, const WIN32_FIND_DATAW& data, bool isFolder,
                                                uint64_t folderId) {
    LocalDeletionFacts facts;
    facts.path = path;
    facts.isFolder = isFolder;
    facts.folderId = folderId;
    facts.local = data;
    facts.rowFound = Storage().GetFile(path, facts.row);
    // Each look-up only when the rule gets to it: the drive is asked only
    // for an item no rename here accounts for.
    for (DeletionStep step = NextDeletionLookup(facts, DeletionStep::Decided); step != DeletionStep::Decided;
         step = NextDeletionLookup(facts, step)) {
        switch (step) {
            case DeletionStep::RenamePending:
                facts.renamePending = IsRenamePending(facts.row.file_id, Relative(path));
                break;
            case DeletionStep::DriveState: {
                RequestStatus status;
                facts.metaResult = GetFileMeta(status, facts.row.file_id, facts.meta);
                break;
            }
            case DeletionStep::ChangedHere:
                facts.changedHere = isFolder ? HasLocalChangesBelow(path) || IsMoveIntoPending(Relative(path))
                                             : IsRowFileChanged(facts.row, data);
                break;
            case DeletionStep::Decided:
                break;
        }
    }
    return ExecuteOwnPlan(PlanLocalDeletion(facts));
}

HRESULT CFileSyncThread::DeleteLocalChecked(const wchar_t* path, bool isFolder) {
    TrashedThereFacts facts;
    facts.path = path;
    facts.isFolder = isFolder;
    facts.foundHere = static_cast<bool>(brelio::UniqueFindHandle(::FindFirstFileW(path, &facts.local)));
    if (NeedsParentOfTrashed(facts)) facts.parentFound = Storage().GetParentFileId(path, facts.parentId);
    return ExecuteOwnPlan(PlanTrashedThere(facts));
}

HRESULT CFileSyncThread::UploadChangedUnlisted(const wchar_t* path, uint64_t folderId) {
    UnlistedUploadFacts facts;
    facts.path = path;
    facts.folderId = folderId;
    facts.rowFound = Storage().GetFile(path, facts.row);
    if (NeedsDriveStateOfUnlisted(facts)) {
        RequestStatus status;
        facts.metaResult = GetFileMeta(status, facts.row.file_id, facts.meta);
    }
    return ExecuteOwnPlan(PlanUnlistedUpload(facts));
}
