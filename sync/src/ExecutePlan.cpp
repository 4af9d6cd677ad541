// The executor: the actions the planners decided, carried out one by one
// with their rows, log lines and status items.
#include "BrelioServices/Log.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/RemoteLookups.h"
#include "BrelioSync/SyncAction.h"

HRESULT CFileSyncThread::ExecutePlan(const ActionPlan& plan, PassContext& pass) {
    if (plan.leavesRemoteChange) pass.remoteChangeLeft = true;
    HRESULT result = S_OK;
    for (const SyncAction& action : plan.steps) {
        result = CarryOut(action, pass);
        if (result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) && action.wait != WaitOutcome::Failure) {
            // A wait for a folder that a later remote change brings: the
            // remote phase follows the move then.
            if (action.wait == WaitOutcome::LeavesRemoteChange) pass.remoteChangeLeft = true;
            result = S_OK;
            continue;
        }
        // Told by the action already: the selected folder waits.
        if (FAILED(result) && action.failure == FailureOutcome::LeavesOut) return S_FALSE;
        if (FAILED(result)) return result;
        if (action.takesRemoteChange && action.remoteChange != nullptr && pass.remoteChanges != nullptr)
            RemoveRemoteChange(*pass.remoteChanges, action.remoteChange);
    }
    return result;
}

HRESULT CFileSyncThread::ExecuteOwnPlan(const ActionPlan& plan) {
    if (m_pass != nullptr) return ExecutePlan(plan, *m_pass);
    PassContext none;
    return ExecutePlan(plan, none);
}

HRESULT CFileSyncThread::CarryOut(const SyncAction& action, PassContext& pass) {
    const wchar_t* path = action.path.c_str();
    switch (action.kind) {
        case ActionKind::Note:
            Log(action.reason, path);
            return S_OK;
        case ActionKind::Fail:
            return action.result;
        case ActionKind::Skip:
            return ReportSkipped(path, action.isFolder, action.result, action.reason);
        case ActionKind::LeaveOut:
            return S_FALSE;
        case ActionKind::RememberSyncedName:
            pass.syncedNames.emplace(action.fileId, action.name);
            return S_OK;
        case ActionKind::RememberRenamedAway:
            pass.renames[action.path] = action.fileId;
            return S_OK;
        case ActionKind::RememberReplaced:
            pass.replacedIds.insert(action.fileId);
            return S_OK;
        case ActionKind::UploadChanged:
            return UploadChangedFile(action.fileId, path);
        case ActionKind::UploadUnlessRecorded:
            if (IsUploadRecorded(action.fileId, path)) return S_OK;
            return UploadChangedFile(action.fileId, path);
        case ActionKind::UploadNew:
            return UploadFile(action.targetId, path, 0, RowWrite::Insert);
        case ActionKind::UploadRevision:
            return UploadFile(action.fileId, path, action.revision, RowWrite::Update);
        case ActionKind::UploadByName:
            return UploadFile(action.targetId, path, 0, RowWrite::UpdateByName);
        case ActionKind::UploadChangedUnlisted:
            return UploadChangedUnlisted(path, action.targetId);
        case ActionKind::CreateRemoteFolder: {
            uint64_t folderId = 0;
            return CreateRemoteFolderForPath(path, folderId);
        }
        case ActionKind::CreateRemoteFolderAndWalk: {
            uint64_t folderId = 0;
            const HRESULT created = CreateRemoteFolderForPath(path, folderId);
            if (FAILED(created)) return created;
            // Done only once its content went up: a folder that came whole
            // has no change of its own for what it holds.
            return FullSyncFolder(path, folderId);
        }
        case ActionKind::CreateRemoteFolderInAndWalk:
            return CreateRemoteFolderInAndWalk(path, action.local, action.targetId);
        case ActionKind::Download:
            return Download(action.remote, path, RowWriteOf(action.insert));
        case ActionKind::DownloadById:
            return DownloadById(action.fileId, path, action.insert);
        case ActionKind::CreateLocalFolder:
            return CreateLocalFolder(action.remote, path);
        case ActionKind::CreateLocalFolderAndWalk:
            return CreateLocalFolderAndWalk(action.remote, path);
        case ActionKind::DeleteLocalFile:
            return DeleteLocalFile(path);
        case ActionKind::DeleteLocalFolder:
            return DeleteLocalFolder(path);
        case ActionKind::ResolveBothModified:
            return ResolveBothModified(action.remote, path, action.insert);
        case ActionKind::MoveLocal:
            return MoveLocal(action.fileId, Relative(path), action.hash, action.revision);
        case ActionKind::SetRevision:
            return Storage().SetFileRevision(action.remote.id, action.remote.revision, action.remote.version);
        case ActionKind::MarkSynced:
            return Storage().SetFileStatus(action.fileId, action.isFolder, FILE_STATUS_SYNCED);
        case ActionKind::RecordRemoteFolder:
            return Storage().InsertFile(action.remote, path, 0, FileTimeToTicks(action.local.ftLastWriteTime),
                                        FILE_STATUS_SYNCED);
        case ActionKind::RecordListedFolder: {
            // Unrecorded, the folder is not in agreement: a failed item,
            // and not walked into, as after any failed folder action.
            const HRESULT recorded =
                Storage().InsertFile(action.remote, path, 0, SystemTimeTicks(), FILE_STATUS_SYNCED);
            if (FAILED(recorded)) NotifyResult(path, true, recorded);
            return recorded;
        }
        case ActionKind::MakeSelectedFolder:
            return MakeSelectedFolder(path);
        case ActionKind::RecordSelectedFolder:
            return RecordSelectedFolder(action.fileId, action.remote, path);
        case ActionKind::MarkDeleted: {
            // Gone on both sides: only the row is left to go, and the item
            // is settled once it is gone (a row left says "in sync").
            const HRESULT dropped = Storage().SetFileStatus(action.fileId, action.isFolder, FILE_STATUS_DELETE);
            NotifyResult(path, action.isFolder, dropped);
            return dropped;
        }
        case ActionKind::DropRowAt: {
            const HRESULT dropped = Storage().SetFileStatus(path, action.isFolder, FILE_STATUS_DELETE);
            if (SUCCEEDED(dropped)) Log(L"%s - deleted.", path);
            return dropped;
        }
        case ActionKind::ReportFailed:
            NotifyResult(path, action.isFolder, action.result);
            return S_OK;
        case ActionKind::RenameRows:
            return Storage().SetFileName(action.row, action.oldName.c_str(), path, action.row.hash,
                                         action.row.revision);
        case ActionKind::DeleteRemote:
            return DeleteRemote(action.fileId, action.name.c_str(), action.isFolder);
        case ActionKind::DeleteRemoteEntry:
            return DeleteRemoteEntry(action.remote, Relative(path));
        case ActionKind::RenameRemote:
            return RenameRemote(action.fileId, action.name.c_str(), action.oldName.c_str());
        case ActionKind::MoveRemoteByCopy:
            return MoveRemoteByCopy(action.fileId, action.oldName.c_str(), path, action.isFolder, pass);
        case ActionKind::CopyFolderUp:
            return CopyFolderUp(path, action.targetId, action.fileId, pass);
        case ActionKind::RecordSameContent:
            return RecordSameContent(action.remote, path, FindDataSize(action.local), action.local.ftLastWriteTime);
        case ActionKind::SettleMovesOutOf:
            return SettleMovesOutOf(action.name, action.oldName, pass);
        case ActionKind::RemoveRemoteLeftover:
            return RemoveRemoteLeftover(path, action.remote, action.row);
        case ActionKind::FollowRemoteMove:
            return FollowRemoteMove(action.remote, path, action.row);
        case ActionKind::SendLocalRename:
            return SendLocalRename(action.record, path, pass);
        case ActionKind::SettleRenameAgainstRemote:
            return SettleRenameAgainstRemote(action.record, path, *action.remoteChange, pass);
        case ActionKind::KeepRenamedAgainstDeletion:
            return KeepRenamedAgainstRemoteDeletion(action.record, path, pass);
        case ActionKind::SettleLocalFolderRemoval:
            return SettleLocalFolderRemoval(action.record, path, pass);
        case ActionKind::SettleVanishedItem:
            return SettleVanishedItem(action.record, pass);
        case ActionKind::ResumeMoveByCopy:
            return ResumeMoveByCopy(action.record, path, pass);
        case ActionKind::DeleteLocalChecked:
            return DeleteLocalChecked(path, action.isFolder);
        case ActionKind::DeleteLocalItemChecked:
            return DeleteLocalItemChecked(path, action.local, action.isFolder, action.targetId);
        case ActionKind::WalkFolder:
            return FullSyncFolder(path, action.targetId);
    }
    return E_UNEXPECTED;
}
