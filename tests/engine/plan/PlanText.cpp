#include "PlanText.h"

namespace brelio::test {

const char* KindName(ActionKind kind) {
    switch (kind) {
        case ActionKind::Note: return "Note";
        case ActionKind::Fail: return "Fail";
        case ActionKind::Skip: return "Skip";
        case ActionKind::LeaveOut: return "LeaveOut";
        case ActionKind::RememberSyncedName: return "RememberSyncedName";
        case ActionKind::RememberRenamedAway: return "RememberRenamedAway";
        case ActionKind::RememberReplaced: return "RememberReplaced";
        case ActionKind::CopyFolderUp: return "CopyFolderUp";
        case ActionKind::RecordSameContent: return "RecordSameContent";
        case ActionKind::UploadChanged: return "UploadChanged";
        case ActionKind::UploadUnlessRecorded: return "UploadUnlessRecorded";
        case ActionKind::UploadNew: return "UploadNew";
        case ActionKind::UploadRevision: return "UploadRevision";
        case ActionKind::UploadByName: return "UploadByName";
        case ActionKind::UploadChangedUnlisted: return "UploadChangedUnlisted";
        case ActionKind::CreateRemoteFolder: return "CreateRemoteFolder";
        case ActionKind::CreateRemoteFolderAndWalk: return "CreateRemoteFolderAndWalk";
        case ActionKind::CreateRemoteFolderInAndWalk: return "CreateRemoteFolderInAndWalk";
        case ActionKind::RecordRemoteFolder: return "RecordRemoteFolder";
        case ActionKind::RecordListedFolder: return "RecordListedFolder";
        case ActionKind::MakeSelectedFolder: return "MakeSelectedFolder";
        case ActionKind::RecordSelectedFolder: return "RecordSelectedFolder";
        case ActionKind::Download: return "Download";
        case ActionKind::DownloadById: return "DownloadById";
        case ActionKind::CreateLocalFolder: return "CreateLocalFolder";
        case ActionKind::CreateLocalFolderAndWalk: return "CreateLocalFolderAndWalk";
        case ActionKind::DeleteLocalFile: return "DeleteLocalFile";
        case ActionKind::DeleteLocalFolder: return "DeleteLocalFolder";
        case ActionKind::ResolveBothModified: return "ResolveBothModified";
        case ActionKind::MoveLocal: return "MoveLocal";
        case ActionKind::SetRevision: return "SetRevision";
        case ActionKind::MarkSynced: return "MarkSynced";
        case ActionKind::MarkDeleted: return "MarkDeleted";
        case ActionKind::ReportFailed: return "ReportFailed";
        case ActionKind::RenameRows: return "RenameRows";
        case ActionKind::DeleteRemote: return "DeleteRemote";
        case ActionKind::DeleteRemoteEntry: return "DeleteRemoteEntry";
        case ActionKind::RenameRemote: return "RenameRemote";
        case ActionKind::MoveRemoteByCopy: return "MoveRemoteByCopy";
        case ActionKind::SettleMovesOutOf: return "SettleMovesOutOf";
        case ActionKind::RemoveRemoteLeftover: return "RemoveRemoteLeftover";
        case ActionKind::FollowRemoteMove: return "FollowRemoteMove";
        case ActionKind::SendLocalRename: return "SendLocalRename";
        case ActionKind::SettleRenameAgainstRemote: return "SettleRenameAgainstRemote";
        case ActionKind::KeepRenamedAgainstDeletion: return "KeepRenamedAgainstDeletion";
        case ActionKind::SettleLocalFolderRemoval: return "SettleLocalFolderRemoval";
        case ActionKind::SettleVanishedItem: return "SettleVanishedItem";
        case ActionKind::ResumeMoveByCopy: return "ResumeMoveByCopy";
        case ActionKind::DeleteLocalChecked: return "DeleteLocalChecked";
        case ActionKind::DeleteLocalItemChecked: return "DeleteLocalItemChecked";
        case ActionKind::DropRowAt: return "DropRowAt";
        case ActionKind::WalkFolder: return "WalkFolder";
    }
    return "?";
}

std::string KindsOf(const ActionPlan& plan) {
    std::string text;
    for (const SyncAction& action : plan.steps) {
        if (!text.empty()) text += ",";
        text += KindName(action.kind);
    }
    if (plan.leavesRemoteChange) text += "+leaves";
    return text;
}

}  // namespace brelio::test
