// What each local change code asks for, on what was gathered for its record.
#include <cwchar>

#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/LocalChangePlan.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/RemoteLookups.h"

namespace {

void PlanRemovedHere(const LocalChangeFacts& facts, ActionPlan& plan) {
    const ChangeRecord& record = facts.record;
    if (record.file_id == 0) return;
    // Seen gone before its rename was read: the rename, recorded after,
    // tells where it went.
    if (facts.renamedLater) return;
    // Its content was to come again from the drive: it comes now, instead
    // of the drive's item going to the trash.
    if (!record.is_folder && facts.retransfer) {
        SyncAction& download = plan.Add(ActionKind::DownloadById);
        download.fileId = record.file_id;
        download.path = facts.fullPath;
        return;
    }
    // The item lives on under its other name (a save that renamed the old
    // file away); renamed and then removed, it lives nowhere.
    if (!facts.renamedAwayPath.empty() && _wcsicmp(facts.renamedAwayPath.c_str(), facts.fullPath.c_str()) != 0 &&
        facts.renamedAwayExists)
        return;
    // A folder's own revision does not tell whether anything in it changed
    // on the drive: its content is looked at first.
    if (record.is_folder) {
        SyncAction& removal = plan.Add(ActionKind::SettleLocalFolderRemoval);
        removal.record = record;
        removal.path = facts.fullPath;
        return;
    }
    SyncAction& trash = plan.Add(ActionKind::DeleteRemote);
    trash.fileId = record.file_id;
    trash.name = record.name;
    trash.isFolder = record.is_folder;
}

void PlanRenamedHere(const LocalChangeFacts& facts, ActionPlan& plan) {
    const ChangeRecord& record = facts.record;
    if (!facts.exists) {
        if (record.file_id == 0) return;
        if (!facts.oldFullPath.empty()) {
            SyncAction& away = plan.Add(ActionKind::RememberRenamedAway);
            away.path = facts.oldFullPath;
            away.fileId = record.file_id;
        }
        plan.Add(ActionKind::SettleVanishedItem).record = record;
        return;
    }
    if (record.file_id != 0) {
        if (!facts.statusRead) return;
        // In sync already: sent by a run cut short before it could strike
        // the record off, or only its content went up since (an edit
        // uploaded ahead of a move that could not go yet). An edit sent
        // under the old name (the same name to the file system) marks the
        // row in sync too; the new letter case is still to be sent. The
        // drive's place tells which.
        const bool letterCase = DiffersOnlyInLetterCase(record.name, record.old_name);
        if (facts.status == FILE_STATUS_CHANGED || facts.status == FILE_STATUS_SYNCED ||
            (letterCase && facts.status != FILE_STATUS_NONE)) {
            SyncAction& send = plan.Add(ActionKind::SendLocalRename);
            send.record = record;
            send.path = facts.fullPath;
            return;
        }
        // No row has the item's id any more: a copy to its new place took
        // it over.
        if (facts.status == FILE_STATUS_NONE) {
            SyncAction& resume = plan.Add(ActionKind::ResumeMoveByCopy);
            resume.record = record;
            resume.path = facts.fullPath;
        }
        return;
    }
    // New to the drive under its new name.
    if (record.is_folder) {
        plan.Add(ActionKind::CreateRemoteFolder).path = facts.fullPath;
        return;
    }
    SyncAction& upload = plan.Add(ActionKind::UploadChanged);
    upload.fileId = facts.renamedAwayHereId;
    upload.path = facts.fullPath;
}

void PlanModifiedBoth(const LocalChangeFacts& facts, ActionPlan& plan) {
    // Renamed or removed later in this pass: its later record meets the
    // remote change.
    if (!facts.exists) {
        plan.leavesRemoteChange = true;
        return;
    }
    if (FAILED(facts.matchedRowFound)) {
        plan.Add(ActionKind::Fail).result = facts.matchedRowFound;
        return;
    }
    const FileInfo& remote = facts.matched->file;
    if (facts.matchedRowFound == S_FALSE) {
        SyncAction& resolve = plan.Add(ActionKind::ResolveBothModified);
        resolve.remote = remote;
        resolve.path = facts.fullPath;
        resolve.insert = true;
        return;
    }
    std::wstring place;
    const HRESULT joined = JoinRemoteRelativePath(facts.root.c_str(), RemotePathToRowName(remote.path), place);
    if (FAILED(joined)) {
        SyncAction& skip = plan.Add(ActionKind::Skip);
        skip.path = facts.fullPath;
        skip.isFolder = facts.record.is_folder;
        skip.result = joined;
        skip.reason = L"unusable remote path";
        return;
    }
    // Edited here, changed there: a move or rename there is followed, and
    // only content edited on both sides is a conflict. A move whose new
    // folder comes with a later remote change is followed by the remote
    // phase, which sees the edit by the row.
    SyncAction& follow = plan.Add(ActionKind::FollowRemoteMove);
    follow.remote = remote;
    follow.path = place;
    follow.row = facts.matchedRow;
    follow.wait = WaitOutcome::LeavesRemoteChange;
}

}  // namespace

ActionPlan PlanLocalChange(const LocalChangeFacts& facts) {
    ActionPlan plan;
    const ChangeRecord& record = facts.record;
    if (facts.fullPath.empty()) {
        plan.Add(ActionKind::Fail).result = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        return plan;
    }
    if (record.action == CHANGE_ACTION_RENAMED && record.file_id != 0) {
        SyncAction& synced = plan.Add(ActionKind::RememberSyncedName);
        synced.fileId = record.file_id;
        synced.name = record.old_name;
    }
    switch (facts.code) {
        case CHANGE_ADDED_LOCAL:
            if (!facts.exists) break;
            plan.Add(record.is_folder ? ActionKind::CreateRemoteFolderAndWalk : ActionKind::UploadChanged).path =
                facts.fullPath;
            break;
        case CHANGE_MODIFIED_LOCAL:
            if (!facts.exists) break;
            {
                SyncAction& upload = plan.Add(ActionKind::UploadChanged);
                upload.fileId = record.file_id;
                upload.path = facts.fullPath;
            }
            break;
        case CHANGE_MODIFIED_BOTH:
            PlanModifiedBoth(facts, plan);
            break;
        case CHANGE_REMOVED_LOCAL:
            PlanRemovedHere(facts, plan);
            break;
        case CHANGE_REMOVED_BOTH:
            if (record.file_id == 0) break;
            {
                SyncAction& gone = plan.Add(ActionKind::MarkDeleted);
                gone.fileId = record.file_id;
                gone.isFolder = record.is_folder;
                gone.path = facts.fullPath;
            }
            break;
        case CHANGE_RENAMED_LOCAL:
            PlanRenamedHere(facts, plan);
            break;
        case CHANGE_MOVED_BOTH:
            if (!facts.exists) {
                // Renamed again later in this pass: the last record meets
                // the remote change.
                if (!facts.oldFullPath.empty()) {
                    SyncAction& away = plan.Add(ActionKind::RememberRenamedAway);
                    away.path = facts.oldFullPath;
                    away.fileId = record.file_id;
                }
                plan.leavesRemoteChange = true;
                plan.Add(ActionKind::SettleVanishedItem).record = record;
                break;
            }
            {
                SyncAction& settle = plan.Add(ActionKind::SettleRenameAgainstRemote);
                settle.record = record;
                settle.path = facts.fullPath;
                settle.remoteChange = facts.matched;
            }
            break;
        default:
            break;
    }
    return plan;
}
