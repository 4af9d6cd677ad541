// The full walk's rules for one item found here, and for a selected folder
// before its walk.
#include <shlwapi.h>

#include <cwchar>

#include "BrelioServices/RestFrame.h"
#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/WalkPlan.h"

namespace {

void PlanListedItem(const WalkItemFacts& facts, ActionPlan& plan) {
    if (facts.isFolder) {
        // Both sides have it: its row, then what it holds.
        SyncAction& record = plan.Add(ActionKind::RecordListedFolder);
        record.path = facts.path;
        record.remote = facts.entry;
        record.isFolder = true;
        SyncAction& walk = plan.Add(ActionKind::WalkFolder);
        walk.path = facts.path;
        walk.targetId = facts.entry.id;
        return;
    }
    switch (facts.change) {
        case CHANGE_MODIFIED_LOCAL: {
            SyncAction& up = plan.Add(ActionKind::UploadRevision);
            up.path = facts.path;
            up.fileId = facts.entry.id;
            up.revision = facts.storedRevision;
            return;
        }
        case CHANGE_MODIFIED_REMOTE: {
            SyncAction& down = plan.Add(ActionKind::Download);
            down.path = facts.path;
            down.remote = facts.entry;
            return;
        }
        case CHANGE_MODIFIED_BOTH:
        case CHANGE_NO_STORAGE_ROW: {
            // Both contents survive: the local one as a copy beside it, sent
            // up as a new file; the drive's one under the name.
            SyncAction& resolve = plan.Add(ActionKind::ResolveBothModified);
            resolve.path = facts.path;
            resolve.remote = facts.entry;
            resolve.insert = facts.change == CHANGE_NO_STORAGE_ROW || facts.storedFileId != facts.entry.id;
            return;
        }
        default:
            return;
    }
}

}  // namespace

bool NeedsRenameCheckOfWalkItem(const WalkItemFacts& facts) {
    return !facts.listed && SUCCEEDED(facts.statusRead) && facts.status == FILE_STATUS_CHANGED;
}

ActionPlan PlanWalkItem(const WalkItemFacts& facts) {
    ActionPlan plan;
    if (facts.listed) {
        PlanListedItem(facts, plan);
        return plan;
    }
    if (FAILED(facts.statusRead)) {
        plan.Add(ActionKind::Fail).result = facts.statusRead;
        return plan;
    }
    switch (facts.status) {
        case FILE_STATUS_CHANGED:
            // Renamed or moved here: its rename sends it, with its id.
            // Sending it anew from here would leave the old item behind (a
            // folder's old rows to be deleted).
            if (facts.renamePending) {
                plan.AddSkip(facts.path, facts.isFolder, S_FALSE, L"local rename pending");
                return plan;
            }
            if (!facts.isFolder) {
                SyncAction& up = plan.Add(ActionKind::UploadChangedUnlisted);
                up.path = facts.path;
                up.targetId = facts.folderId;
                return plan;
            }
            [[fallthrough]];
        case FILE_STATUS_NONE:
        case FILE_STATUS_RETRANSFER: {
            if (facts.isFolder) {
                plan.AddFolderUpAndWalk(facts.path, facts.local, facts.folderId);
                return plan;
            }
            // New here; or its content was to come again, so what is here
            // goes up as a new item and the row takes it.
            SyncAction& up =
                plan.Add(facts.status == FILE_STATUS_NONE ? ActionKind::UploadNew : ActionKind::UploadByName);
            up.path = facts.path;
            up.targetId = facts.folderId;
            return plan;
        }
        case FILE_STATUS_SYNCED: {
            // In sync, and no longer listed there: gone from the drive, or
            // moved or renamed there, which its checks tell apart.
            plan.AddDeletionChecks(facts.path, facts.local, facts.isFolder, facts.folderId);
            return plan;
        }
        default:
            return plan;
    }
}

bool NeedsRowOfSelected(const SelectedFolderFacts& facts) {
    return SUCCEEDED(facts.metaResult) && SUCCEEDED(facts.joined) && facts.meta.changeType == "deleted";
}

bool NeedsRenameCheckOfSelected(const SelectedFolderFacts& facts) {
    return NeedsRowOfSelected(facts) && facts.rowKnown;
}

bool NeedsChangesBelowOfSelected(const SelectedFolderFacts& facts) {
    return NeedsRowOfSelected(facts) && !facts.renamePending;
}

ActionPlan PlanSelectedFolder(const SelectedFolderFacts& facts) {
    ActionPlan plan;
    if (FAILED(facts.metaResult)) {
        // Ends the walk over every selected folder: without the drive there
        // is nothing to compare with.
        SyncAction& told = plan.Add(ActionKind::ReportFailed);
        told.path = facts.relativePath;
        told.result = facts.metaResult;
        plan.Add(ActionKind::Fail).result = E_FAIL;
        return plan;
    }
    // Each skip below is told and counted; the folder is left out of this
    // walk.
    if (FAILED(facts.joined)) {
        plan.AddSkip(facts.relativePath, true, facts.joined, L"selected folder path not usable here").failure =
            FailureOutcome::LeavesOut;
        plan.Add(ActionKind::LeaveOut);
        return plan;
    }
    if (facts.meta.changeType == "deleted") {
        if (facts.rowKnown && facts.renamePending) {
            plan.AddSkip(facts.path, true, S_FALSE, L"local rename pending");
        } else if (facts.changedBelow) {
            plan.AddSkip(facts.path, true, S_FALSE, L"changed locally since it was trashed remotely");
        } else {
            // A failed deletion is told by the deletion and marks the pass
            // incomplete.
            SyncAction& gone = plan.Add(ActionKind::DeleteLocalFolder);
            gone.path = facts.path;
            gone.isFolder = true;
            gone.failure = FailureOutcome::LeavesOut;
        }
        plan.Add(ActionKind::LeaveOut);
        return plan;
    }
    // The selection names the folder by its path; the drive gives only its
    // own name, so the last component is what can match: a folder renamed
    // there waits.
    if (!IsFileType(facts.meta.file.type.c_str()) &&
        _wcsicmp(facts.meta.file.name.c_str(), ::PathFindFileNameW(facts.relativePath.c_str())) != 0) {
        plan.Add(ActionKind::LeaveOut);
        return plan;
    }
    SyncAction& made = plan.Add(ActionKind::MakeSelectedFolder);
    made.path = facts.path;
    made.isFolder = true;
    made.failure = FailureOutcome::LeavesOut;
    SyncAction& recorded = plan.Add(ActionKind::RecordSelectedFolder);
    recorded.path = facts.path;
    recorded.isFolder = true;
    recorded.fileId = facts.folderId;
    recorded.remote = facts.meta.file;
    recorded.failure = FailureOutcome::LeavesOut;
    return plan;
}
