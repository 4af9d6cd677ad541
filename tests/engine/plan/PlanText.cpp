#include "PlanText.h"

namespace brelio::test {

const char* KindName(ActionKind kind) {
    switch (kind) {
        case ActionKind::Note: return "Note";
        case ActionKind::Fail: return "Fail";
        case ActionKind::Skip: return "Skip";
        case ActionKind::RememberSyncedName: return "RememberSyncedName";
        case ActionKind::RememberRenamedAway: return "RememberRenamedAway";
        case ActionKind::UploadChanged: return "UploadChanged";
        case ActionKind::UploadUnlessRecorded: return "UploadUnlessRecorded";
        case ActionKind::UploadNew: return "UploadNew";
        case ActionKind::CreateRemoteFolder: return "CreateRemoteFolder";
        case ActionKind::CreateRemoteFolderAndWalk: return "CreateRemoteFolderAndWalk";
        case ActionKind::RecreateRemoteFolder: return "RecreateRemoteFolder";
        case ActionKind::Download: return "Download";
        case ActionKind::DownloadById: return "DownloadById";
        case ActionKind::ResolveBothModified: return "ResolveBothModified";
        case ActionKind::MoveLocal: return "MoveLocal";
        case ActionKind::SetRevision: return "SetRevision";
        case ActionKind::MarkSynced: return "MarkSynced";
        case ActionKind::MarkDeleted: return "MarkDeleted";
        case ActionKind::DeleteRemote: return "DeleteRemote";
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
