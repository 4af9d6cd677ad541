// A move sent as a copy trashes the old item only once the copy stands and
// nothing that lives only in the old place goes with it.
#include <cstring>

#include "BrelioServices/RestFrame.h"
#include "BrelioSync/MoveByCopyPlan.h"

bool NeedsPlaceOfOldEntry(const OldFolderEntryFacts& facts) {
    return !facts.moving && facts.rowFound == S_FALSE && !facts.renamePending;
}

bool NeedsRowPlaceOfOldEntry(const OldFolderEntryFacts& facts) {
    return !facts.moving && facts.rowFound == S_OK && !facts.isFolder &&
           _stricmp(facts.entry.hash.c_str(), facts.row.hash.c_str()) != 0;
}

ActionPlan PlanOldFolderEntry(const OldFolderEntryFacts& facts) {
    ActionPlan plan;
    if (facts.moving) return plan;
    if (FAILED(facts.rowFound)) {
        plan.Add(ActionKind::Fail).result = facts.rowFound;
        return plan;
    }
    // What the drive added or changed in the old folder comes into the
    // moved one first, so that nothing of it goes to the trash with the old
    // folder (a walk of the folder skips what waits for a rename).
    if (facts.rowFound == S_FALSE) {
        // The old item of a move of its own, sent as a copy that is not
        // finished: its own record settles it.
        if (facts.renamePending) return plan;
        if (FAILED(facts.joined) || facts.pathExists) return plan;
        SyncAction& bring = plan.Add(facts.isFolder ? ActionKind::CreateLocalFolderAndWalk : ActionKind::Download);
        bring.path = facts.path;
        bring.remote = facts.entry;
        bring.isFolder = facts.isFolder;
        bring.insert = true;
        return plan;
    }
    if (NeedsRowPlaceOfOldEntry(facts) && facts.rowPathExists) {
        SyncAction& follow = plan.Add(ActionKind::FollowRemoteMove);
        follow.path = facts.rowPath;
        follow.remote = facts.entry;
        follow.row = facts.row;
    }
    return plan;
}

bool IsStandingCopyOfRow(const CopiedItemFacts& facts) {
    return facts.standing && facts.known && facts.row.file_id == facts.standingEntry.id;
}

bool NeedsContentOfCopiedItem(const CopiedItemFacts& facts) {
    return facts.standing && !facts.isFolder && !IsStandingCopyOfRow(facts);
}

ActionPlan PlanCopiedItem(const CopiedItemFacts& facts) {
    ActionPlan plan;
    const auto replaced = [&] {
        if (facts.known) plan.Add(ActionKind::RememberReplaced).fileId = facts.row.file_id;
    };
    if (IsStandingCopyOfRow(facts)) {
        // Went up before the run that sent the move was cut short; what a
        // folder of it holds may not have.
        if (!facts.isFolder) return plan;
        SyncAction& inside = plan.Add(facts.oldFound ? ActionKind::CopyFolderUp : ActionKind::WalkFolder);
        inside.path = facts.path;
        inside.isFolder = true;
        inside.targetId = facts.oldFound ? facts.folderId : facts.standingEntry.id;
        inside.fileId = facts.oldId;
        return plan;
    }
    if (NeedsContentOfCopiedItem(facts) && facts.sameContent) {
        // Its upload went through just before the run was cut short, before
        // its row could be written.
        SyncAction& same = plan.Add(ActionKind::RecordSameContent);
        same.path = facts.path;
        same.remote = facts.standingEntry;
        same.local = facts.local;
        replaced();
        return plan;
    }
    if (!facts.known || facts.heldInOld) {
        // In the old folder on the drive (or new here): it goes up anew, and
        // the old one goes to the trash with the old folder.
        replaced();
        if (!facts.isFolder) {
            SyncAction& up = plan.Add(ActionKind::UploadNew);
            up.path = facts.path;
            up.targetId = facts.folderId;
        } else if (facts.known) {
            SyncAction& copy = plan.Add(ActionKind::CopyFolderUp);
            copy.path = facts.path;
            copy.isFolder = true;
            copy.targetId = facts.folderId;
            copy.fileId = facts.row.file_id;
        } else {
            plan.AddFolderUpAndWalk(facts.path, facts.local, facts.folderId);
        }
        return plan;
    }
    // Moved elsewhere or trashed on the drive meanwhile: its own change
    // settles it.
    if (facts.remoteChangePending) return plan;
    // Moved into this folder here before the folder itself moved.
    SyncAction& move = plan.Add(ActionKind::MoveRemoteByCopy);
    move.path = facts.path;
    move.isFolder = facts.isFolder;
    move.fileId = facts.row.file_id;
    move.oldName = facts.row.name;
    return plan;
}

ActionPlan PlanOldFileAfterCopy(const OldFileAfterCopyFacts& facts) {
    ActionPlan plan;
    if (facts.metaResult == API_E_ITEM_NOT_FOUND || (SUCCEEDED(facts.metaResult) && facts.meta.changeType == "deleted"))
        return plan;
    // Changed on the drive meanwhile: that content is not the one that went
    // up, so the old item stays. The copy of a run cut short is the newer
    // item: an older old one is what went up, or an earlier state.
    const bool changedThere =
        FAILED(facts.metaResult) ||
        (facts.known && _stricmp(facts.meta.file.hash.c_str(), facts.row.hash.c_str()) != 0 &&
         (!facts.resumed || facts.meta.file.revision > facts.row.revision));
    if (changedThere) {
        plan.AddNote(facts.oldName, L"%s - changed on the drive meanwhile, kept there.");
        return plan;
    }
    SyncAction& trash = plan.Add(ActionKind::DeleteRemote);
    trash.fileId = facts.oldId;
    trash.name = facts.oldName;
    return plan;
}

bool NeedsRowOfOldEntry(const OldEntryAfterCopyFacts& facts) { return !facts.replaced && !facts.copied; }

bool NeedsRowPlaceOfOldEntryAfterCopy(const OldEntryAfterCopyFacts& facts) {
    return NeedsRowOfOldEntry(facts) && facts.rowFound == S_OK && !facts.moving;
}

OldEntryVerdict JudgeOldEntryAfterCopy(const OldEntryAfterCopyFacts& facts) {
    if (!NeedsRowOfOldEntry(facts)) return OldEntryVerdict::Away;
    // Moved here itself, its copy under way or cut short: what of it is not
    // copied yet lives only there.
    if (facts.moving || (facts.rowFound == S_FALSE && facts.renamePending)) return OldEntryVerdict::Moving;
    // Never here: the drive added it (or changed it after its copy went up,
    // which makes it a new item to this side).
    if (facts.rowFound == S_FALSE) return facts.nameInCopy ? OldEntryVerdict::Kept : OldEntryVerdict::New;
    // Moved elsewhere here: its own change sends it there; with none, the
    // drive moved it into this folder and it lives on only here.
    if (facts.rowPlaceExists) return facts.placeChangePending ? OldEntryVerdict::Away : OldEntryVerdict::Kept;
    // Deleted here, changed there: the change beats the delete.
    if (!facts.isFolder && _stricmp(facts.entry.hash.c_str(), facts.row.hash.c_str()) != 0)
        return OldEntryVerdict::Kept;
    return OldEntryVerdict::Away;
}
