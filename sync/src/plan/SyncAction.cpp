#include "BrelioSync/SyncAction.h"

ActionSide SideOf(ActionKind kind) {
    switch (kind) {
        case ActionKind::Note:
        case ActionKind::Fail:
        case ActionKind::Skip:
        case ActionKind::RememberSyncedName:
        case ActionKind::RememberRenamedAway:
            return ActionSide::None;
        case ActionKind::UploadChanged:
        case ActionKind::UploadUnlessRecorded:
        case ActionKind::UploadNew:
        case ActionKind::CreateRemoteFolder:
        case ActionKind::CreateRemoteFolderAndWalk:
        case ActionKind::RecreateRemoteFolder:
        case ActionKind::DeleteRemote:
        case ActionKind::RenameRemote:
        case ActionKind::MoveRemoteByCopy:
        case ActionKind::RemoveRemoteLeftover:
            return ActionSide::Drive;
        case ActionKind::Download:
        case ActionKind::DownloadById:
        case ActionKind::ResolveBothModified:
        case ActionKind::MoveLocal:
            return ActionSide::Local;
        case ActionKind::SetRevision:
        case ActionKind::MarkSynced:
        case ActionKind::MarkDeleted:
            return ActionSide::Row;
        case ActionKind::SettleMovesOutOf:
        case ActionKind::FollowRemoteMove:
        case ActionKind::SendLocalRename:
        case ActionKind::SettleRenameAgainstRemote:
        case ActionKind::KeepRenamedAgainstDeletion:
        case ActionKind::SettleLocalFolderRemoval:
        case ActionKind::SettleVanishedItem:
        case ActionKind::ResumeMoveByCopy:
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
