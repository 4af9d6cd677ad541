#pragma once
// The decisions of the local phase of a reconciliation, as pure functions:
// what was gathered for a local change record (its local item, the drive's
// item, the row, and any look-up at the drive the decision needs) in, the
// actions out. No file, database or network call is made here.
#include <windows.h>

#include <cstdint>
#include <string>

#include "BrelioServices/ApiRecords.h"
#include "BrelioServices/StorageRecords.h"
#include "BrelioSync/SyncAction.h"

// The folder part of a row name (empty at the top of the sync folder), and
// its last component.
std::wstring FolderOfRowName(const std::wstring& name);
std::wstring LeafOfRowName(const std::wstring& name);

// One local change record, classified.
struct LocalChangeFacts {
    std::wstring root;
    uint32_t code = 0;
    ChangeRecord record;
    // The record's path in the sync folder; empty when it cannot be one.
    std::wstring fullPath;
    std::wstring oldFullPath;
    bool exists = false;
    // The remote change of the same item, when the classification met one.
    ChangeInfo* matched = nullptr;
    // Edited on both sides: the row of the drive's item.
    HRESULT matchedRowFound = S_FALSE;
    FileRecord matchedRow;
    // Removed here: a rename of the item recorded after this record, the
    // file's row waiting for its content to come again, and the first path
    // this pass saw it renamed away from (whether an item is there).
    bool renamedLater = false;
    bool retransfer = false;
    std::wstring renamedAwayPath;
    bool renamedAwayExists = false;
    // Renamed here: the row's status, when it could be read.
    bool statusRead = false;
    int status = FILE_STATUS_NONE;
    // Renamed here without an id: the item renamed away from this path.
    uint64_t renamedAwayHereId = 0;
};
ActionPlan PlanLocalChange(const LocalChangeFacts& facts);

// An item whose row stands against its drive state: the drive's place is
// followed here, the content goes the way that loses no edit.
struct FollowMoveFacts {
    FileInfo remote;
    // Where the drive has it, here.
    std::wstring path;
    FileRecord row;
    // The file against its row (an edit, recorded or not).
    bool changedHere = false;
    // The folder of `path` stands here.
    bool folderPresent = false;
    // `path` and the row's path are one place, spelled alike.
    bool samePlace = false;
};
ActionPlan PlanFollowRemoteMove(const FollowMoveFacts& facts);

// A local rename or move, to be sent to the drive.
struct SendRenameFacts {
    std::wstring root;
    ChangeRecord record;
    std::wstring fullPath;
    // The drive's state of the item.
    HRESULT metaResult = E_FAIL;
    ChangeInfo meta;
    // Looked up when needed (see below): the row and whether the file
    // changed since it.
    HRESULT rowFound = S_FALSE;
    FileRecord row;
    bool changedHere = false;
    // The local folder of the new name is the drive's folder of the item.
    bool sameFolder = false;
};
// The drive's item stands where the record puts it, spelled alike.
bool IsBackAtDrivePlace(const SendRenameFacts& facts);
// Whether the decision looks at the drive's folder (`sameFolder`).
bool NeedsFolderOfRename(const SendRenameFacts& facts);
ActionPlan PlanSendLocalRename(const SendRenameFacts& facts);

// Renamed here while the drive changed the item too.
struct RenameAgainstRemoteFacts {
    std::wstring root;
    ChangeRecord record;
    std::wstring fullPath;
    ChangeInfo change;
    HRESULT rowFound = S_FALSE;
    FileRecord row;
    // Where the item was when both sides last agreed.
    std::wstring syncedName;
    // Looked up when the last names agree: the folder of the synced name
    // is, by its id, the drive's folder of the item.
    bool sameFolder = false;
};
bool NeedsFolderOfSyncedName(const RenameAgainstRemoteFacts& facts);
ActionPlan PlanRenameAgainstRemote(const RenameAgainstRemoteFacts& facts);

// Renamed here, trashed on the drive.
struct RenamedAgainstDeletionFacts {
    ChangeRecord record;
    std::wstring fullPath;
    HRESULT parentFound = S_FALSE;
    uint64_t parentId = 0;
    // The folder as found here (folders only).
    bool found = false;
    WIN32_FIND_DATAW local = {};
};
ActionPlan PlanRenamedAgainstDeletion(const RenamedAgainstDeletionFacts& facts);

// A folder removed here.
struct FolderRemovalFacts {
    std::wstring root;
    ChangeRecord record;
    std::wstring fullPath;
    HRESULT metaResult = E_FAIL;
    ChangeInfo meta;
    HRESULT rowFound = S_FALSE;
    FileRecord row;
};
// Gone on the drive as well.
bool IsGoneOnDrive(HRESULT metaResult, const ChangeInfo& meta);
ActionPlan PlanLocalFolderRemoval(const FolderRemovalFacts& facts);

// An item renamed or moved here whose new place is gone again.
struct VanishedItemFacts {
    ChangeRecord record;
    // A later record of the item says where it went.
    bool placeChangePending = false;
    HRESULT rowFound = S_FALSE;
    FileRecord row;
    // The remote change of the item in this pass, if any.
    ChangeInfo* remoteChange = nullptr;
    // The row's place here, and whether an item stands there.
    std::wstring placePath;
    bool placeExists = false;
};
ActionPlan PlanVanishedItem(const VanishedItemFacts& facts);

// A rename whose row no longer has the item's id: a move sent as a copy by
// a run cut short.
struct ResumeMoveFacts {
    ChangeRecord record;
    std::wstring fullPath;
    // The row of the new place.
    HRESULT rowFound = S_FALSE;
    FileRecord row;
    // Looked up only when a copy stands for it: the old item on the drive,
    // and whether the new place is a folder here.
    HRESULT metaResult = E_FAIL;
    ChangeInfo meta;
    bool localIsFolder = false;
};
bool NeedsOldItemOfMove(const ResumeMoveFacts& facts);
ActionPlan PlanResumeMoveByCopy(const ResumeMoveFacts& facts);
