// What the decisions where both sides changed one item since the last pass,
// or one side removed what the other changed, look at: read here, before
// the planners (sync/src/plan/) decide and the executor acts.
#include <shlwapi.h>

#include <cstring>
#include <cwchar>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/LocalChangePlan.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/RemoteLookups.h"
#include "BrelioSync/SyncManager.h"

namespace {

bool SameName(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

}  // namespace

bool CFileSyncThread::IsRemoteFolderOf(const std::wstring& localFolder, const std::wstring& remoteFolder,
                                       const LocalPassContext& pass) {
    // A folder is known by its id, not by its path: renamed or moved on
    // either side, it is still the same folder.
    if (localFolder.empty()) return remoteFolder.empty();
    uint64_t folderId = 0;
    for (const auto& [id, name] : pass.syncedNames)
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
    FollowMoveFacts facts;
    facts.remote = remote;
    facts.path = path;
    facts.row = row;
    const std::wstring rowPath = RootJoin(row.name);
    // The file against its row, not against the drive: an edit made here,
    // recorded or not (the program may not have been running), is seen.
    facts.changedHere = IsFileType(remote.type.c_str()) &&
                        IsLocalFileChanged(rowPath.c_str(), TicksToFileTime(row.last_write_time), row.size);
    facts.samePlace = IsSameSpelledPlace(rowPath, path);
    if (!facts.samePlace) {
        const std::wstring folder(path, static_cast<size_t>(::PathFindFileNameW(path) - path));
        facts.folderPresent = ::PathIsDirectoryW(folder.c_str()) != FALSE;
    }
    // Its actions need nothing the local phase keeps: it also serves the
    // walk and the remote phase.
    LocalPassContext none;
    return ExecutePlan(PlanFollowRemoteMove(facts), none);
}

HRESULT CFileSyncThread::SettleRenameAgainstRemote(const ChangeRecord& record, const wchar_t* fullPath,
                                                   const ChangeInfo& change, LocalPassContext& pass) {
    RenameAgainstRemoteFacts facts;
    facts.root = m_env.syncRoot;
    facts.record = record;
    facts.fullPath = fullPath;
    facts.change = change;
    if (change.changeType != "deleted") {
        facts.rowFound = Storage().GetFile(record.file_id, facts.row);
        const auto synced = pass.syncedNames.find(record.file_id);
        facts.syncedName = synced != pass.syncedNames.end() ? synced->second : record.old_name;
        if (NeedsFolderOfSyncedName(facts))
            facts.sameFolder = IsRemoteFolderOf(FolderOfRowName(facts.syncedName),
                                                FolderOfRowName(RemotePathToRowName(change.file.path)), pass);
    }
    return ExecutePlan(PlanRenameAgainstRemote(facts), pass);
}

HRESULT CFileSyncThread::SendLocalRename(const ChangeRecord& record, const wchar_t* fullPath, LocalPassContext& pass) {
    SendRenameFacts facts;
    facts.root = m_env.syncRoot;
    facts.record = record;
    facts.fullPath = fullPath;
    RequestStatus status;
    facts.metaResult = GetFileMeta(status, record.file_id, facts.meta);
    if (SUCCEEDED(facts.metaResult) && facts.meta.changeType != "deleted") {
        const bool back = IsBackAtDrivePlace(facts);
        if (!back)
            facts.sameFolder = IsRemoteFolderOf(FolderOfRowName(record.name),
                                                FolderOfRowName(RemotePathToRowName(facts.meta.file.path)), pass);
        if (back || (!facts.sameFolder && !record.is_folder)) facts.rowFound = Storage().GetFile(record.file_id, facts.row);
        if (back && facts.rowFound == S_OK && !record.is_folder)
            facts.changedHere =
                IsLocalFileChanged(fullPath, TicksToFileTime(facts.row.last_write_time), facts.row.size);
    }
    return ExecutePlan(PlanSendLocalRename(facts), pass);
}

HRESULT CFileSyncThread::KeepRenamedAgainstRemoteDeletion(const ChangeRecord& record, const wchar_t* fullPath,
                                                          LocalPassContext& pass) {
    RenamedAgainstDeletionFacts facts;
    facts.record = record;
    facts.fullPath = fullPath;
    facts.parentId = kUnknownParentId;
    facts.parentFound = Storage().GetParentFileId(fullPath, facts.parentId);
    if (facts.parentFound == S_OK && facts.parentId != kUnknownParentId && record.is_folder)
        facts.found = static_cast<bool>(brelio::UniqueFindHandle(::FindFirstFileW(fullPath, &facts.local)));
    return ExecutePlan(PlanRenamedAgainstDeletion(facts), pass);
}

HRESULT CFileSyncThread::SettleLocalFolderRemoval(const ChangeRecord& record, const wchar_t* fullPath,
                                                  LocalPassContext& pass) {
    FolderRemovalFacts facts;
    facts.root = m_env.syncRoot;
    facts.record = record;
    facts.fullPath = fullPath;
    RequestStatus status;
    facts.metaResult = GetFileMeta(status, record.file_id, facts.meta);
    if (!IsGoneOnDrive(facts.metaResult, facts.meta) && SUCCEEDED(facts.metaResult))
        facts.rowFound = Storage().GetFile(record.file_id, facts.row);
    return ExecutePlan(PlanLocalFolderRemoval(facts), pass);
}

HRESULT CFileSyncThread::SettleVanishedItem(const ChangeRecord& record, LocalPassContext& pass) {
    VanishedItemFacts facts;
    facts.record = record;
    facts.placeChangePending = IsPlaceChangePending(record.file_id);
    if (!facts.placeChangePending) {
        facts.rowFound = Storage().GetFile(record.file_id, facts.row);
        if (m_remoteChanges != nullptr)
            for (ChangeInfo& change : *m_remoteChanges)
                if (change.file.id == record.file_id) facts.remoteChange = &change;
        facts.placePath = RootJoin(facts.row.name);
        facts.placeExists = facts.rowFound == S_OK && ::PathFileExistsW(facts.placePath.c_str()) != FALSE;
    }
    return ExecutePlan(PlanVanishedItem(facts), pass);
}
