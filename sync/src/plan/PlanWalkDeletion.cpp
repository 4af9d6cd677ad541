// A row in sync whose item is missing on one side is a deletion only when
// everything else agrees: the other side is as the row recorded it, and the
// item did not just move. Anything else wins over the deletion.
#include <cwchar>

#include "BrelioServices/RestFrame.h"
#include "BrelioSync/WalkPlan.h"

namespace {

// True when the row's item is gone from the drive; otherwise the plan says
// why the item stays: a skip when the drive could not tell, a note when it
// lives elsewhere there.
bool IsGoneElseKept(ActionPlan& plan, const std::wstring& path, bool isFolder, HRESULT metaResult,
                    const ChangeInfo& meta) {
    switch (DriveStateOf(metaResult, meta)) {
        case DriveState::Unknown:
            plan.AddSkip(path, isFolder, metaResult, L"remote state unknown");
            return false;
        case DriveState::Alive:
            // Moved or renamed remotely: the walk of its new place moves it.
            plan.AddNote(path,
                    isFolder ? L"%s - kept, the remote folder lives elsewhere." : L"%s - kept, the remote item lives elsewhere.");
            return false;
        case DriveState::Gone:
            break;
    }
    return true;
}

bool IsContentAsRecorded(const FileInfo& entry, const FileRecord& row) {
    return entry.revision == row.revision && _stricmp(entry.hash.c_str(), row.hash.c_str()) == 0;
}

}  // namespace

DriveState DriveStateOf(HRESULT metaResult, const ChangeInfo& meta) {
    if (SUCCEEDED(metaResult)) return meta.changeType == "deleted" ? DriveState::Gone : DriveState::Alive;
    if (metaResult == API_E_ITEM_NOT_FOUND) return DriveState::Gone;
    return DriveState::Unknown;
}

DeletionStep NextDeletionLookup(const LocalDeletionFacts& facts, DeletionStep done) {
    switch (done) {
        case DeletionStep::Decided:
            // Only the row read yet: without a row there is nothing to judge.
            return facts.rowFound == S_OK ? DeletionStep::RenamePending : DeletionStep::Decided;
        case DeletionStep::RenamePending:
            return facts.renamePending ? DeletionStep::Decided : DeletionStep::DriveState;
        case DeletionStep::DriveState:
            return DriveStateOf(facts.metaResult, facts.meta) == DriveState::Gone ? DeletionStep::ChangedHere
                                                                                   : DeletionStep::Decided;
        case DeletionStep::ChangedHere:
            return DeletionStep::Decided;
    }
    return DeletionStep::Decided;
}

bool NeedsParentOfTrashed(const TrashedThereFacts& facts) { return facts.foundHere; }

ActionPlan PlanTrashedThere(const TrashedThereFacts& facts) {
    ActionPlan plan;
    if (!facts.foundHere) {
        // Gone here as well: only the row was left.
        SyncAction& drop = plan.Add(ActionKind::DropRowAt);
        drop.path = facts.path;
        drop.isFolder = facts.isFolder;
        return plan;
    }
    if (FAILED(facts.parentFound)) {
        plan.Add(ActionKind::Fail).result = facts.parentFound;
        return plan;
    }
    // What stands here decides the kind, not the drive's change.
    plan.AddDeletionChecks(facts.path, facts.local, (facts.local.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                           facts.parentId);
    return plan;
}

ActionPlan PlanLocalDeletion(const LocalDeletionFacts& facts) {
    ActionPlan plan;
    const std::wstring& path = facts.path;
    const bool isFolder = facts.isFolder;
    if (facts.rowFound != S_OK) {
        if (FAILED(facts.rowFound)) plan.Add(ActionKind::Fail).result = facts.rowFound;
        return plan;
    }
    // Renamed here, not sent yet: its rename settles it.
    if (facts.renamePending) {
        plan.AddSkip(path, isFolder, S_FALSE, L"local rename pending");
        return plan;
    }
    if (!IsGoneElseKept(plan, path, isFolder, facts.metaResult, facts.meta)) return plan;
    if (!isFolder) {
        if (!facts.changedHere) {
            plan.Add(ActionKind::DeleteLocalFile).path = path;
            return plan;
        }
        // Edited here since the last sync: the edit survives as a new file.
        if (facts.folderId == kUnknownParentId) {
            plan.AddSkip(path, false, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), L"parent folder not synced yet");
            return plan;
        }
        SyncAction& upload = plan.Add(ActionKind::UploadNew);
        upload.targetId = facts.folderId;
        upload.path = path;
        return plan;
    }
    if (!facts.changedHere) {
        plan.Add(ActionKind::DeleteLocalFolder).path = path;
        return plan;
    }
    // Something inside changed since the last sync (an item moved in here
    // and not yet sent is a change inside too): the folder goes up again
    // holding what changed; the rest follows the deletion.
    plan.AddFolderUpAndWalk(path, facts.local, facts.folderId);
    return plan;
}

bool NeedsDriveStateOfUnlisted(const UnlistedUploadFacts& facts) {
    return facts.rowFound == S_OK && facts.row.file_id != 0;
}

ActionPlan PlanUnlistedUpload(const UnlistedUploadFacts& facts) {
    ActionPlan plan;
    if (FAILED(facts.rowFound)) {
        plan.Add(ActionKind::Fail).result = facts.rowFound;
        return plan;
    }
    // Edited here, moved there: its move brings it, edit and all; a new
    // item here would be a second copy.
    if (NeedsDriveStateOfUnlisted(facts) && !IsGoneElseKept(plan, facts.path, false, facts.metaResult, facts.meta))
        return plan;
    // Edited here, gone there (or never there): the edit goes up as a new file.
    SyncAction& upload = plan.Add(ActionKind::UploadNew);
    upload.targetId = facts.folderId;
    upload.path = facts.path;
    return plan;
}

bool NeedsStatusOfLeftover(const LeftoverEntryFacts& facts) { return SUCCEEDED(facts.joined) && !facts.moving; }

bool NeedsRowOfLeftover(const LeftoverEntryFacts& facts) {
    if (!NeedsStatusOfLeftover(facts) || FAILED(facts.statusRead)) return false;
    return facts.status == FILE_STATUS_SYNCED || (facts.status == FILE_STATUS_CHANGED && !facts.renamePending);
}

bool NeedsPlaceOfLeftover(const LeftoverEntryFacts& facts) {
    if (!NeedsStatusOfLeftover(facts) || FAILED(facts.statusRead) || facts.renamePending) return false;
    return facts.status == FILE_STATUS_NONE || (facts.status == FILE_STATUS_CHANGED && facts.rowFound != S_OK);
}

namespace {

SyncAction& AddLeftoverRemoval(ActionPlan& plan, const LeftoverEntryFacts& facts) {
    SyncAction& leftover = plan.Add(ActionKind::RemoveRemoteLeftover);
    leftover.path = facts.path;
    leftover.remote = facts.entry;
    leftover.row = facts.row;
    return leftover;
}

// No row has its id: new on the drive, it comes here.
void PlanLeftoverWithoutRow(const LeftoverEntryFacts& facts, bool isFolder, ActionPlan& plan) {
    // The old item of a move sent as a copy by a run cut short (no row has
    // its id since the copy took it over): the move's record finishes it;
    // brought back here, it would stand on both sides twice.
    if (facts.renamePending) {
        plan.AddSkip(facts.path, isFolder, S_FALSE, L"local move pending");
        return;
    }
    // Something of that name appeared here during the walk: it is compared
    // on the next pass instead of being overwritten now.
    if (facts.pathExists) {
        plan.AddSkip(facts.path, isFolder, HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS), L"local item in the way");
        return;
    }
    SyncAction& bring = plan.Add(isFolder ? ActionKind::CreateLocalFolderAndWalk : ActionKind::Download);
    bring.remote = facts.entry;
    bring.path = facts.path;
    bring.insert = true;
}

}  // namespace

ActionPlan PlanLeftoverEntry(const LeftoverEntryFacts& facts) {
    ActionPlan plan;
    const bool isFolder = !IsFileType(facts.entry.type.c_str());
    if (FAILED(facts.joined)) {
        plan.AddSkip(facts.folderPath + L"\\" + facts.entry.name, isFolder, facts.joined,
                     L"remote name not usable here");
        return plan;
    }
    if (facts.moving) return plan;
    if (FAILED(facts.statusRead)) {
        plan.Add(ActionKind::Fail).result = facts.statusRead;
        return plan;
    }
    switch (facts.status) {
        case FILE_STATUS_CHANGED:
            if (facts.renamePending) {
                plan.AddSkip(facts.path, isFolder, S_FALSE, L"local rename pending");
                return plan;
            }
            // Changed here, elsewhere than the drive has it now: the remote
            // move is followed keeping the edit; changed here and then
            // deleted here, the edit went with the item and it is a
            // deletion like any other.
            if (facts.rowFound == S_OK) {
                AddLeftoverRemoval(plan, facts);
                return plan;
            }
            PlanLeftoverWithoutRow(facts, isFolder, plan);
            return plan;
        case FILE_STATUS_NONE:
            PlanLeftoverWithoutRow(facts, isFolder, plan);
            return plan;
        case FILE_STATUS_SYNCED:
            if (FAILED(facts.rowFound)) plan.Add(ActionKind::Fail).result = facts.rowFound;
            if (facts.rowFound == S_OK) AddLeftoverRemoval(plan, facts);
            return plan;
        case FILE_STATUS_RETRANSFER: {
            // Its content was to come again from the drive.
            SyncAction& download = plan.Add(ActionKind::Download);
            download.remote = facts.entry;
            download.path = facts.path;
            return plan;
        }
        case FILE_STATUS_LOCAL_FAILED: {
            SyncAction& failed = plan.Add(ActionKind::ReportFailed);
            failed.path = facts.entry.name;
            failed.isFolder = isFolder;
            failed.result = E_FAIL;
            plan.Add(ActionKind::Fail).result = E_FAIL;
            return plan;
        }
        default:
            return plan;
    }
}

bool IsMovedThere(const LeftoverFacts& facts) {
    return !facts.rowPath.empty() && _wcsicmp(facts.rowPath.c_str(), facts.path.c_str()) != 0;
}

bool NeedsRenameCheck(const LeftoverFacts& facts) { return facts.rowPath.empty() || !facts.rowPathExists; }

bool NeedsSubtreeCheck(const LeftoverFacts& facts) {
    return NeedsRenameCheck(facts) && !facts.renamePending && !IsFileType(facts.entry.type.c_str()) &&
           facts.deletedHere && !IsMovedThere(facts);
}

ActionPlan PlanRemoteLeftover(const LeftoverFacts& facts) {
    ActionPlan plan;
    const FileInfo& entry = facts.entry;
    const std::wstring& path = facts.path;
    const bool isFolder = !IsFileType(entry.type.c_str());
    const bool movedThere = IsMovedThere(facts);
    if (!NeedsRenameCheck(facts)) {
        // Still here, at the row's place: follow a move made there,
        // keeping an edit made here; a folder's content is walked after.
        SyncAction& follow = plan.Add(ActionKind::FollowRemoteMove);
        follow.remote = entry;
        follow.path = path;
        follow.row = facts.row;
        if (isFolder) {
            SyncAction& walk = plan.Add(ActionKind::WalkFolder);
            walk.path = path;
            walk.targetId = entry.id;
        }
        return plan;
    }
    if (facts.renamePending) {
        plan.AddSkip(path, isFolder, S_FALSE, L"local rename pending");
        return plan;
    }
    // Gone here. A change on the drive since the row was written (an edit,
    // a move or rename, anything added or changed inside) beats the
    // deletion: the changed items come back, a folder holding only them;
    // the rest follows the deletion to the trash. While a refused walk
    // stands, nothing here says it was deleted: all of it comes back.
    if (!isFolder) {
        const bool deleted = facts.deletedHere && !movedThere && IsContentAsRecorded(entry, facts.row);
        SyncAction& action = plan.Add(deleted ? ActionKind::DeleteRemoteEntry : ActionKind::Download);
        action.remote = entry;
        action.path = path;
        action.insert = true;
        return plan;
    }
    if (facts.deletedHere && !movedThere && facts.subtreeAsRecorded) {
        SyncAction& trash = plan.Add(ActionKind::DeleteRemoteEntry);
        trash.remote = entry;
        trash.path = path;
        return plan;
    }
    if (movedThere) {
        // Its new folder comes with a later remote change: the rows stay as
        // they are until then, or the move would no longer show in them.
        if (!facts.folderPresent) {
            plan.AddNote(path, L"%s - waits for its folder.");
            plan.Add(ActionKind::Fail).result = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
            return plan;
        }
        // The rows beneath follow the folder to its new name, so that each
        // item inside is judged at its own place.
        SyncAction& rows = plan.Add(ActionKind::RenameRows);
        rows.row = facts.row;
        rows.oldName = facts.rowPath;
        rows.path = path;
    }
    plan.AddNote(path,
            facts.deletedHere ? L"%s - deleted here, changed on the drive; what changed comes back."
                              : L"%s - missing here since the sync folder was found missing or empty; it comes back.");
    SyncAction& bring = plan.Add(ActionKind::CreateLocalFolderAndWalk);
    bring.remote = entry;
    bring.path = path;
    return plan;
}
