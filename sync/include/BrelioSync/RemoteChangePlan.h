#pragma once
// The decisions of the remote phase of a reconciliation, as pure functions:
// what was gathered for one remote change (the local item at its place, the
// row, and the drive's state asked again where the decision needs it) in,
// the change code or the actions out. No file, database or network call is
// made here.
#include <windows.h>

#include <cstdint>
#include <string>

#include "BrelioServices/ApiRecords.h"
#include "BrelioServices/StorageRecords.h"
#include "BrelioSync/SyncAction.h"

// What a local name holds, for the rule on names that differ only in
// letter case.
struct LocalNameFacts {
    // An item stands at the name here, and whether it is a folder.
    bool present = false;
    bool isFolder = false;
    // The row of the name.
    HRESULT rowFound = S_FALSE;
    uint64_t rowId = 0;
};
// The local name the drive's item would take is another item's here:
// another drive item's (by its row), or a local item's of the other kind.
bool IsNameTaken(const LocalNameFacts& local, const FileInfo& remote);
// The drive's item refused for that: reported, nothing written on either
// side.
void AddTakenNameRefusal(ActionPlan& plan, const std::wstring& path, bool isFolder);

// One remote change, to be classified.
struct RemoteChangeFacts {
    ChangeInfo change;
    // Where the drive has it, here; for a deletion only a name for the log.
    std::wstring fullPath;
    // The row of the item, by id.
    HRESULT rowFound = S_FALSE;
    FileRecord row;
    // Deleted: the row's path here, empty when it cannot be one.
    std::wstring rowPath;
    // Updated: an item stands at `fullPath` here.
    bool exists = false;
    // Updated, nothing here: the row's status, when it could be read.
    bool statusRead = false;
    int status = FILE_STATUS_NONE;
    // Updated, something here: the name is another item's.
    bool nameTaken = false;
    // Updated, a file with a row: it differs here from its row.
    bool changedHere = false;
};
struct RemoteClassification {
    uint32_t code = 0;
    // The path the change is carried out at.
    std::wstring fullPath;
};
RemoteClassification ClassifyRemote(const RemoteChangeFacts& facts);

// One classified remote change, to be carried out.
struct RemoteActFacts {
    std::wstring root;
    uint32_t code = 0;
    ChangeInfo change;
    std::wstring fullPath;
    // Edited on both sides: the item has a row.
    bool hasRow = false;
    // Moved: the row, and the drive's state asked again (see below).
    HRESULT rowFound = S_FALSE;
    FileRecord row;
    HRESULT metaResult = E_FAIL;
    ChangeInfo now;
};
// Whether the decision asks the drive for the item's state now.
bool NeedsDriveStateNow(const RemoteActFacts& facts);
ActionPlan PlanRemoteChange(const RemoteActFacts& facts);
