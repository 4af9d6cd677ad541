// An item whose drive state moved on from its row: the drive's place is
// followed here, and the content goes the way that loses no edit. Only
// content edited on both sides is a conflict.
#include <cstring>

#include "BrelioSync/LocalChangePlan.h"

ActionPlan PlanFollowRemoteMove(const FollowMoveFacts& facts) {
    ActionPlan plan;
    const FileInfo& remote = facts.remote;
    const FileRecord& row = facts.row;
    const bool isFolder = !IsFileType(remote.type.c_str());
    const bool changedHere = !isFolder && facts.changedHere;
    const bool changedThere = !isFolder && _stricmp(remote.hash.c_str(), row.hash.c_str()) != 0;
    // A name that differs only in letter case is a rename too.
    if (!facts.samePlace) {
        if (!facts.folderPresent) {
            // The folder it moved into is not here yet (a change later in
            // the list renames or makes it): the move waits for it, and is
            // no failure of the item.
            SyncAction& note = plan.Add(ActionKind::Note);
            note.path = facts.path;
            note.reason = L"%s - waits for its folder.";
            plan.Add(ActionKind::Fail).result = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
            return plan;
        }
        // The row keeps the recorded content until the content is settled
        // below, so that nothing claims a content this file does not hold.
        SyncAction& move = plan.Add(ActionKind::MoveLocal);
        move.fileId = remote.id;
        move.path = facts.path;
        move.hash = changedThere ? row.hash : remote.hash;
        move.revision = changedThere ? row.revision : remote.revision;
    } else if (!changedThere) {
        plan.Add(ActionKind::SetRevision).remote = remote;
    }
    if (changedThere) {
        SyncAction& content = plan.Add(changedHere ? ActionKind::ResolveBothModified : ActionKind::Download);
        content.remote = remote;
        content.path = facts.path;
        content.insert = false;
        return plan;
    }
    if (changedHere) {
        SyncAction& upload = plan.Add(ActionKind::UploadChanged);
        upload.fileId = remote.id;
        upload.path = facts.path;
        return plan;
    }
    // Nothing left to send: a rename recorded here is settled by the move.
    SyncAction& synced = plan.Add(ActionKind::MarkSynced);
    synced.fileId = remote.id;
    synced.isFolder = isFolder;
    return plan;
}
