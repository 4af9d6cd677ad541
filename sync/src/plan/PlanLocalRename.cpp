// Renames and moves made here, against what the drive did to the item. The
// rules:
// - renamed differently on both sides: the remote name wins, for both;
// - a rename on one side and an edit on the other both apply;
// - renamed here, trashed there: the renamed item survives, as a new item;
// - the drive cannot move between folders: a move goes up anew at its new
//   place, and the old item goes to the trash once the new one stands.
#include <cstring>
#include <cwchar>

#include "BrelioServices/RestFrame.h"
#include "BrelioSync/LocalChangePlan.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/RemoteLookups.h"

namespace {

// A row look-up that found nothing ends the decision with nothing to do;
// one that failed ends it with the failure.
bool EndsOnLookup(HRESULT found, ActionPlan& plan) {
    if (found == S_OK) return false;
    if (FAILED(found)) plan.Add(ActionKind::Fail).result = found;
    return true;
}

SyncAction& AddFollow(ActionPlan& plan, const FileInfo& remote, const std::wstring& path, const FileRecord& row) {
    SyncAction& follow = plan.Add(ActionKind::FollowRemoteMove);
    follow.remote = remote;
    follow.path = path;
    follow.row = row;
    return follow;
}

void AddKeepRenamed(ActionPlan& plan, const ChangeRecord& record, const std::wstring& fullPath) {
    SyncAction& keep = plan.Add(ActionKind::KeepRenamedAgainstDeletion);
    keep.record = record;
    keep.path = fullPath;
}

}  // namespace

bool IsGoneOnDrive(HRESULT metaResult, const ChangeInfo& meta) {
    return metaResult == API_E_ITEM_NOT_FOUND || (SUCCEEDED(metaResult) && meta.changeType == "deleted");
}

bool IsBackAtDrivePlace(const SendRenameFacts& facts) {
    return IsSameSpelledPlace(RemotePathToRowName(facts.meta.file.path), facts.record.name);
}

bool NeedsFolderOfRename(const SendRenameFacts& facts) {
    return SUCCEEDED(facts.metaResult) && facts.meta.changeType != "deleted" && !IsBackAtDrivePlace(facts);
}

ActionPlan PlanSendLocalRename(const SendRenameFacts& facts) {
    ActionPlan plan;
    const ChangeRecord& record = facts.record;
    const HRESULT asked = facts.metaResult;
    if (FAILED(asked) && asked != API_E_ITEM_NOT_FOUND) {
        plan.AddSkip(facts.fullPath, record.is_folder, asked, L"remote state unknown");
        return plan;
    }
    if (FAILED(asked) || facts.meta.changeType == "deleted") {
        AddKeepRenamed(plan, record, facts.fullPath);
        return plan;
    }
    const std::wstring remoteName = RemotePathToRowName(facts.meta.file.path);
    if (IsBackAtDrivePlace(facts)) {
        // Back where the drive has it: no place to send, only an edit. (A
        // name that differs only in letter case is still to be sent.)
        if (EndsOnLookup(facts.rowFound, plan)) return plan;
        if (!record.is_folder && facts.changedHere) {
            SyncAction& upload = plan.Add(ActionKind::UploadChanged);
            upload.fileId = record.file_id;
            upload.path = facts.fullPath;
            return plan;
        }
        SyncAction& synced = plan.Add(ActionKind::MarkSynced);
        synced.fileId = record.file_id;
        synced.isFolder = record.is_folder;
        return plan;
    }
    if (facts.sameFolder) {
        SyncAction& rename = plan.Add(ActionKind::RenameRemote);
        rename.fileId = record.file_id;
        rename.name = record.name;
        rename.oldName = record.old_name;
        if (record.is_folder) return plan;
        // A rename sends no content: an edit made along with it goes up too.
        SyncAction& upload = plan.Add(ActionKind::UploadUnlessRecorded);
        upload.fileId = record.file_id;
        upload.path = facts.fullPath;
        return plan;
    }
    if (!record.is_folder) {
        if (EndsOnLookup(facts.rowFound, plan)) return plan;
        // Changed on the drive since the last pass: that content comes into
        // the moved file before the old item goes to the trash.
        if (_stricmp(facts.meta.file.hash.c_str(), facts.row.hash.c_str()) != 0)
            AddFollow(plan, facts.meta.file, facts.fullPath, facts.row);
    }
    // Moved to another folder here.
    SyncAction& move = plan.Add(ActionKind::MoveRemoteByCopy);
    move.fileId = record.file_id;
    move.oldName = remoteName;
    move.path = facts.fullPath;
    move.isFolder = record.is_folder;
    return plan;
}

bool NeedsFolderOfSyncedName(const RenameAgainstRemoteFacts& facts) {
    return facts.change.changeType != "deleted" && facts.rowFound == S_OK &&
           LeafOfRowName(RemotePathToRowName(facts.change.file.path)) == LeafOfRowName(facts.syncedName);
}

ActionPlan PlanRenameAgainstRemote(const RenameAgainstRemoteFacts& facts) {
    ActionPlan plan;
    const ChangeRecord& record = facts.record;
    if (facts.change.changeType == "deleted") {
        AddKeepRenamed(plan, record, facts.fullPath);
        return plan;
    }
    if (EndsOnLookup(facts.rowFound, plan)) return plan;
    const FileInfo& remote = facts.change.file;
    // Where the drive has it now against where it was when both sides last
    // agreed. Only the item's own name or folder counts: a folder above it
    // renamed on the drive moves no item of its own accord.
    const std::wstring remoteName = RemotePathToRowName(remote.path);
    const bool movedThere = !NeedsFolderOfSyncedName(facts) || !facts.sameFolder;
    if (movedThere) {
        // Renamed on both sides: the remote name wins, on both sides, and
        // no second item is made.
        std::wstring place;
        const HRESULT joined = JoinRemoteRelativePath(facts.root.c_str(), remoteName, place);
        if (FAILED(joined)) {
            plan.AddSkip(facts.fullPath, record.is_folder, joined, L"unusable remote path");
            return plan;
        }
        plan.AddNote(facts.fullPath, L"%s - renamed on both sides, the drive's name is kept.");
        AddFollow(plan, remote, place, facts.row);
        return plan;
    }
    // Renamed here, changed there: the remote content comes into the file
    // first, so that the rename carries the newest content.
    AddFollow(plan, remote, facts.fullPath, facts.row);
    SyncAction& send = plan.Add(ActionKind::SendLocalRename);
    send.record = record;
    send.path = facts.fullPath;
    return plan;
}

ActionPlan PlanRenamedAgainstDeletion(const RenamedAgainstDeletionFacts& facts) {
    ActionPlan plan;
    const ChangeRecord& record = facts.record;
    // Renamed here, trashed there: the renamed item survives under its new
    // name, as a new item on the drive.
    plan.AddNote(facts.fullPath, L"%s - renamed here, trashed on the drive; it goes up again.");
    if (FAILED(facts.parentFound)) {
        plan.Add(ActionKind::Fail).result = facts.parentFound;
        return plan;
    }
    if (facts.parentFound == S_FALSE || facts.parentId == kUnknownParentId) {
        plan.AddSkip(facts.fullPath, record.is_folder, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND),
                L"parent folder not synced yet");
        return plan;
    }
    if (!record.is_folder && facts.standing != nullptr) {
        // The name is taken on the drive: sent again, the upload would fail
        // on every pass. The same content there is the upload itself, and
        // only the row is left to write; another content is a conflict,
        // and both survive.
        SyncAction& resolve = plan.Add(ActionKind::ResolveBothModified);
        resolve.remote = facts.standing->file;
        resolve.path = facts.fullPath;
        resolve.insert = true;
        resolve.remoteChange = facts.standing;
        resolve.takesRemoteChange = true;
        return plan;
    }
    if (!record.is_folder) {
        SyncAction& upload = plan.Add(ActionKind::UploadNew);
        upload.targetId = facts.parentId;
        upload.path = facts.fullPath;
        return plan;
    }
    if (!facts.found) return plan;
    if (facts.standing != nullptr) {
        // The name is taken on the drive by a folder: made again, the drive
        // would refuse it, and the row there still names the trashed one.
        // That folder is the one to fill.
        SyncAction& take = plan.Add(ActionKind::RecordRemoteFolder);
        take.remote = facts.standing->file;
        take.path = facts.fullPath;
        take.local = facts.local;
        take.remoteChange = facts.standing;
        take.takesRemoteChange = true;
        // Each item in it settled on its own, as in a folder made anew.
        SyncAction& walk = plan.Add(ActionKind::WalkFolder);
        walk.path = facts.fullPath;
        walk.targetId = facts.standing->file.id;
        return plan;
    }
    plan.AddFolderUpAndWalk(facts.fullPath, facts.local, facts.parentId);
    return plan;
}

ActionPlan PlanLocalFolderRemoval(const FolderRemovalFacts& facts) {
    ActionPlan plan;
    if (IsGoneOnDrive(facts.metaResult, facts.meta)) {
        SyncAction& gone = plan.Add(ActionKind::MarkDeleted);
        gone.fileId = facts.record.file_id;
        gone.isFolder = true;
        gone.path = facts.fullPath;
        return plan;
    }
    if (FAILED(facts.metaResult)) {
        plan.AddSkip(facts.fullPath, true, facts.metaResult, L"remote state unknown");
        return plan;
    }
    if (EndsOnLookup(facts.rowFound, plan)) return plan;
    const std::wstring remoteName = RemotePathToRowName(facts.meta.file.path);
    SyncAction& movesOut = plan.Add(ActionKind::SettleMovesOutOf);
    movesOut.name = facts.row.name;
    movesOut.oldName = remoteName;
    std::wstring place;
    const HRESULT joined = JoinRemoteRelativePath(facts.root.c_str(), remoteName, place);
    if (FAILED(joined)) {
        plan.AddSkip(facts.fullPath, true, joined, L"unusable remote path");
        return plan;
    }
    // Removed here: what changed on the drive inside it since the last pass
    // comes back, the folder holding only that; the rest goes to the trash.
    SyncAction& leftover = plan.Add(ActionKind::RemoveRemoteLeftover);
    leftover.path = place;
    leftover.remote = facts.meta.file;
    leftover.row = facts.row;
    return plan;
}

ActionPlan PlanVanishedItem(const VanishedItemFacts& facts) {
    ActionPlan plan;
    // A later record of the item says where it went (a rename chain, the
    // removal of a file renamed away by an editor's save): that one decides.
    if (facts.placeChangePending) return plan;
    if (EndsOnLookup(facts.rowFound, plan)) return plan;
    const FileRecord& row = facts.row;
    ChangeRecord moved = facts.record;
    moved.name = row.name;
    if (facts.placeExists) {
        // Moved on with a folder that was renamed or moved here after it:
        // its own new name and place are settled now (a folder that then
        // goes up anew at another place takes it along as it is).
        if (facts.remoteChange == nullptr) {
            SyncAction& send = plan.Add(ActionKind::SendLocalRename);
            send.record = moved;
            send.path = facts.placePath;
            return plan;
        }
        // Its remote place may need a folder a later remote change brings:
        // the remote phase follows the move then.
        SyncAction& settle = plan.Add(ActionKind::SettleRenameAgainstRemote);
        settle.record = moved;
        settle.path = facts.placePath;
        settle.remoteChange = facts.remoteChange;
        settle.wait = WaitOutcome::Settled;
        settle.takesRemoteChange = true;
        return plan;
    }
    // Changed on the drive too: a change beats the delete, and the remote
    // phase brings it back at its remote place.
    if (facts.remoteChange != nullptr) return plan;
    // A folder's own revision does not tell whether anything in it changed
    // on the drive: what did comes back, the rest goes to the trash.
    if (row.is_folder) {
        SyncAction& removal = plan.Add(ActionKind::SettleLocalFolderRemoval);
        removal.record = moved;
        removal.path = facts.placePath;
        return plan;
    }
    // Gone with a folder deleted here, unchanged there: a plain deletion.
    plan.AddNote(facts.placePath, L"%s - gone here with its folder.");
    SyncAction& trash = plan.Add(ActionKind::DeleteRemote);
    trash.fileId = facts.record.file_id;
    trash.name = row.name;
    trash.isFolder = row.is_folder;
    return plan;
}

bool NeedsOldItemOfMove(const ResumeMoveFacts& facts) {
    return facts.rowFound == S_OK && facts.row.file_id != facts.record.file_id;
}

ActionPlan PlanResumeMoveByCopy(const ResumeMoveFacts& facts) {
    ActionPlan plan;
    // No copy stands for it here: the item was settled some other way.
    if (!NeedsOldItemOfMove(facts)) {
        if (FAILED(facts.rowFound)) plan.Add(ActionKind::Fail).result = facts.rowFound;
        return plan;
    }
    // The old item is gone: the move was finished but for striking it off.
    if (IsGoneOnDrive(facts.metaResult, facts.meta)) return plan;
    if (FAILED(facts.metaResult)) {
        plan.AddSkip(facts.fullPath, facts.record.is_folder, facts.metaResult, L"remote state unknown");
        return plan;
    }
    const bool isFolder = !IsFileType(facts.meta.file.type.c_str());
    const std::wstring oldName = RemotePathToRowName(facts.meta.file.path);
    if (isFolder != facts.localIsFolder || _wcsicmp(oldName.c_str(), facts.record.name.c_str()) == 0) return plan;
    SyncAction& move = plan.Add(ActionKind::MoveRemoteByCopy);
    move.fileId = facts.record.file_id;
    move.oldName = oldName;
    move.path = facts.fullPath;
    move.isFolder = isFolder;
    return plan;
}
