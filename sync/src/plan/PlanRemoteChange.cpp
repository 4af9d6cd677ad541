// What each remote change asks for, on what was gathered for it.
#include "BrelioServices/RestFrame.h"
#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/RemoteChangePlan.h"
#include "BrelioSync/RemoteLookups.h"

namespace {

bool IsChangeType(const ChangeInfo& change, const char* type) { return change.changeType == type; }

uint32_t CodeOfMissingItem(const RemoteChangeFacts& facts) {
    // Not here at its remote place: the row says whether it is new, moved
    // there, moved there and changed here, or still to come.
    if (!facts.statusRead) return CHANGE_NONE;
    switch (facts.status) {
        case FILE_STATUS_NONE: return CHANGE_ADDED_REMOTE;
        case FILE_STATUS_SYNCED: return CHANGE_MOVED_REMOTE;
        case FILE_STATUS_CHANGED: return CHANGE_MOVED_BOTH;
        case FILE_STATUS_RETRANSFER: return CHANGE_MODIFIED_REMOTE;
        case FILE_STATUS_LOCAL_FAILED: return CHANGE_FAILED_LOCAL;
        default: return CHANGE_NONE;
    }
}

uint32_t CodeOfPresentItem(const RemoteChangeFacts& facts) {
    const FileInfo& remote = facts.change.file;
    const FileRecord& row = facts.row;
    if (FAILED(facts.rowFound)) return CHANGE_NONE;
    // Renamed on the drive in letter case alone: the local name, the same
    // to the file system, is still to follow.
    if (DiffersOnlyInLetterCase(row.name, RemotePathToRowName(remote.path))) return CHANGE_MOVED_REMOTE;
    if (!IsFileType(remote.type.c_str())) return remote.revision == row.revision ? CHANGE_NONE : CHANGE_MODIFIED_REVISION;
    if (facts.changedHere) return CHANGE_MODIFIED_BOTH;
    if (remote.hash != row.hash) return CHANGE_MODIFIED_REMOTE;
    return remote.revision == row.revision ? CHANGE_NONE : CHANGE_MODIFIED_REVISION;
}

}  // namespace

bool IsNameTaken(const LocalNameFacts& local, const FileInfo& remote) {
    if (!local.present) return false;
    if (local.rowFound == S_OK) return local.rowId != remote.id;
    // A local item without a row of the same kind meets the drive's item
    // as a conflict of contents; one of the other kind cannot meet it.
    return local.isFolder == IsFileType(remote.type.c_str());
}

void AddTakenNameRefusal(ActionPlan& plan, const std::wstring& path, bool isFolder) {
    plan.AddSkip(path, isFolder, HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS),
                 L"another item has the same name but for letter case");
}

RemoteClassification ClassifyRemote(const RemoteChangeFacts& facts) {
    RemoteClassification classified;
    classified.fullPath = facts.fullPath;
    const ChangeInfo& change = facts.change;
    if (IsChangeType(change, "deleted")) {
        // Trashed there: a deletion here only of what has a row, at the
        // row's place.
        classified.code = CHANGE_NO_STORAGE_ROW;
        if (facts.rowFound == S_OK && !facts.rowPath.empty()) {
            classified.fullPath = facts.rowPath;
            classified.code = CHANGE_REMOVED_REMOTE;
        }
    } else if (IsChangeType(change, "updated")) {
        if (!facts.exists)
            classified.code = CodeOfMissingItem(facts);
        else if (facts.nameTaken)
            // Another item holds the name here, letter case aside.
            classified.code = CHANGE_NAME_TAKEN;
        else
            classified.code = CodeOfPresentItem(facts);
    }
    return classified;
}

bool NeedsDriveStateNow(const RemoteActFacts& facts) {
    return (facts.code == CHANGE_MOVED_REMOTE || facts.code == CHANGE_MOVED_BOTH) && facts.rowFound == S_OK;
}

ActionPlan PlanRemoteChange(const RemoteActFacts& facts) {
    ActionPlan plan;
    const FileInfo& remote = facts.change.file;
    const bool isFolder = !IsFileType(remote.type.c_str());
    switch (facts.code) {
        case CHANGE_ADDED_REMOTE: {
            SyncAction& add = plan.Add(isFolder ? ActionKind::CreateLocalFolder : ActionKind::Download);
            add.remote = remote;
            add.path = facts.fullPath;
            add.insert = true;
            break;
        }
        case CHANGE_MODIFIED_REMOTE: {
            SyncAction& download = plan.Add(ActionKind::Download);
            download.remote = remote;
            download.path = facts.fullPath;
            break;
        }
        case CHANGE_MODIFIED_BOTH: {
            SyncAction& resolve = plan.Add(ActionKind::ResolveBothModified);
            resolve.remote = remote;
            resolve.path = facts.fullPath;
            resolve.insert = !facts.hasRow;
            break;
        }
        case CHANGE_REMOVED_REMOTE: {
            // The same checks as the full walk: work not uploaded yet, or an
            // edit made while the program was not running, is not recycled.
            SyncAction& remove = plan.Add(ActionKind::DeleteLocalChecked);
            remove.path = facts.fullPath;
            remove.isFolder = isFolder;
            break;
        }
        case CHANGE_MOVED_REMOTE:
        case CHANGE_MOVED_BOTH: {
            // Not at its remote place here: moved there, or removed here.
            // The row says which, and what each side did to the content.
            if (facts.rowFound != S_OK) {
                if (FAILED(facts.rowFound)) plan.Add(ActionKind::Fail).result = facts.rowFound;
                break;
            }
            // The change was fetched before this pass sent its own renames
            // (a folder renamed here moves what is inside): its place is
            // asked again.
            const HRESULT asked = facts.metaResult;
            if (FAILED(asked) && asked != API_E_ITEM_NOT_FOUND) {
                plan.Add(ActionKind::Fail).result = asked;
                break;
            }
            // The next pass meets the deletion.
            if (FAILED(asked) || IsChangeType(facts.now, "deleted")) break;
            std::wstring place;
            const HRESULT joined =
                JoinRemoteRelativePath(facts.root.c_str(), RemotePathToRowName(facts.now.file.path), place);
            if (FAILED(joined)) {
                plan.AddSkip(facts.fullPath, isFolder, joined, L"unusable remote path");
                break;
            }
            SyncAction& leftover = plan.Add(ActionKind::RemoveRemoteLeftover);
            leftover.path = place;
            leftover.remote = facts.now.file;
            leftover.row = facts.row;
            break;
        }
        case CHANGE_FAILED_LOCAL: {
            SyncAction& failed = plan.Add(ActionKind::ReportFailed);
            failed.path = facts.fullPath;
            failed.isFolder = isFolder;
            failed.result = E_FAIL;
            break;
        }
        case CHANGE_NAME_TAKEN:
            AddTakenNameRefusal(plan, facts.fullPath, isFolder);
            break;
        case CHANGE_MODIFIED_REVISION:
            plan.Add(ActionKind::SetRevision).remote = remote;
            break;
        default:
            break;
    }
    return plan;
}
