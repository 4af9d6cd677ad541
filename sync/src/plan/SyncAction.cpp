#include "BrelioSync/SyncAction.h"

ActionSide SideOf(ActionKind kind) {
    switch (kind) {
        case ActionKind::Note:
        case ActionKind::Fail:
        case ActionKind::Skip:
        case ActionKind::LeaveOut:
        case ActionKind::ReportFailed:
        case ActionKind::RememberSyncedName:
        case ActionKind::RememberRenamedAway:
        case ActionKind::RememberReplaced:
            return ActionSide::None;
        case ActionKind::UploadChanged:
        case ActionKind::UploadUnlessRecorded:
        case ActionKind::UploadNew:
        case ActionKind::UploadRevision:
        case ActionKind::UploadByName:
        case ActionKind::CreateRemoteFolder:
        case ActionKind::CreateRemoteFolderAndWalk:
        case ActionKind::CreateRemoteFolderInAndWalk:
        case ActionKind::DeleteRemote:
        case ActionKind::RenameRemote:
        case ActionKind::MoveRemoteByCopy:
        case ActionKind::RemoveRemoteLeftover:
        case ActionKind::DeleteRemoteEntry:
            return ActionSide::Drive;
        case ActionKind::Download:
        case ActionKind::DownloadById:
        case ActionKind::CreateLocalFolder:
        case ActionKind::CreateLocalFolderAndWalk:
        case ActionKind::DeleteLocalFile:
        case ActionKind::DeleteLocalFolder:
        case ActionKind::ResolveBothModified:
        case ActionKind::MoveLocal:
        case ActionKind::MakeSelectedFolder:
            return ActionSide::Local;
        case ActionKind::SetRevision:
        case ActionKind::MarkSynced:
        case ActionKind::RecordRemoteFolder:
        case ActionKind::RecordListedFolder:
        case ActionKind::RecordSelectedFolder:
        case ActionKind::MarkDeleted:
        case ActionKind::DropRowAt:
        case ActionKind::RenameRows:
        case ActionKind::RecordSameContent:
            return ActionSide::Row;
        case ActionKind::SettleMovesOutOf:
        case ActionKind::CopyFolderUp:
        case ActionKind::FollowRemoteMove:
        case ActionKind::SendLocalRename:
        case ActionKind::SettleRenameAgainstRemote:
        case ActionKind::KeepRenamedAgainstDeletion:
        case ActionKind::SettleLocalFolderRemoval:
        case ActionKind::SettleVanishedItem:
        case ActionKind::ResumeMoveByCopy:
        case ActionKind::DeleteLocalChecked:
        case ActionKind::DeleteLocalItemChecked:
        case ActionKind::UploadChangedUnlisted:
        case ActionKind::WalkFolder:
            return ActionSide::Decision;
    }
    return ActionSide::None;
}

SyncAction MakeAction(ActionKind kind) {
    SyncAction action;
    action.kind = kind;
    action.side = SideOf(kind);
    return action;
}

SyncAction& ActionPlan::Add(ActionKind kind) {
    steps.push_back(MakeAction(kind));
    return steps.back();
}

SyncAction& ActionPlan::AddSkip(const std::wstring& path, bool isFolder, HRESULT reason, const wchar_t* why) {
    SyncAction& skip = Add(ActionKind::Skip);
    skip.path = path;
    skip.isFolder = isFolder;
    skip.result = reason;
    skip.reason = why;
    return skip;
}

SyncAction& ActionPlan::AddFolderUpAndWalk(const std::wstring& path, const WIN32_FIND_DATAW& local,
                                           uint64_t parentId) {
    SyncAction& create = Add(ActionKind::CreateRemoteFolderInAndWalk);
    create.path = path;
    create.local = local;
    create.targetId = parentId;
    return create;
}

SyncAction& ActionPlan::AddDeletionChecks(const std::wstring& path, const WIN32_FIND_DATAW& local, bool isFolder,
                                          uint64_t folderId) {
    SyncAction& check = Add(ActionKind::DeleteLocalItemChecked);
    check.path = path;
    check.local = local;
    check.isFolder = isFolder;
    check.targetId = folderId;
    return check;
}

SyncAction& ActionPlan::AddNote(const std::wstring& path, const wchar_t* line) {
    SyncAction& note = Add(ActionKind::Note);
    note.path = path;
    note.reason = line;
    return note;
}
