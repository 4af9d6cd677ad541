#pragma once
// The decisions of a local move sent as a copy (the drive can only rename):
// what of the old folder comes into the moved one first, how each item of
// the moved folder reaches the copy, and whether the old file goes to the
// trash. Pure functions: no file, database or network call is made here.
#include <windows.h>

#include <cstdint>
#include <string>

#include "BrelioServices/ApiRecords.h"
#include "BrelioServices/StorageRecords.h"
#include "BrelioSync/SyncAction.h"

// An entry of the old folder on the drive, before the copy goes up.
struct OldFolderEntryFacts {
    FileInfo entry;
    bool isFolder = false;
    // Itself on its way to a new place in this pass.
    bool moving = false;
    HRESULT rowFound = S_FALSE;
    FileRecord row;
    // Without a row: a move of its own waiting in the change table; where
    // it would come here (and whether that could be a path) and whether
    // something stands there.
    bool renamePending = false;
    HRESULT joined = S_OK;
    std::wstring path;
    bool pathExists = false;
    // With a row: its place here, and whether a file stands there.
    std::wstring rowPath;
    bool rowPathExists = false;
};
bool NeedsPlaceOfOldEntry(const OldFolderEntryFacts& facts);
bool NeedsRowPlaceOfOldEntry(const OldFolderEntryFacts& facts);
ActionPlan PlanOldFolderEntry(const OldFolderEntryFacts& facts);

// An item found here in the moved folder, against the copy's listing.
struct CopiedItemFacts {
    std::wstring path;
    bool isFolder = false;
    WIN32_FIND_DATAW local = {};
    // The copy's folder on the drive.
    uint64_t folderId = 0;
    bool known = false;
    FileRecord row;
    // The copy's entry of its name, if a run cut short put one there.
    bool standing = false;
    FileInfo standingEntry;
    // A standing folder: the old folder's entry of its name.
    bool oldFound = false;
    uint64_t oldId = 0;
    // A standing file that is not its row's: its content is the entry's
    // (`local` then holds the size and time read with it).
    bool sameContent = false;
    // Its row's item is in the old folder on the drive.
    bool heldInOld = false;
    // A remote change of its row's item waits in this pass.
    bool remoteChangePending = false;
};
bool IsStandingCopyOfRow(const CopiedItemFacts& facts);
bool NeedsContentOfCopiedItem(const CopiedItemFacts& facts);
ActionPlan PlanCopiedItem(const CopiedItemFacts& facts);

// The old file, once its copy stands at the new place.
struct OldFileAfterCopyFacts {
    uint64_t oldId = 0;
    std::wstring oldName;
    // The row the move began from, and whether it resumes a copy cut short.
    bool known = false;
    bool resumed = false;
    FileRecord row;
    // The drive's state of the old item now.
    HRESULT metaResult = S_OK;
    ChangeInfo meta;
};
ActionPlan PlanOldFileAfterCopy(const OldFileAfterCopyFacts& facts);

// What an entry of the old folder is once the copy stands: gone elsewhere
// (it may go to the trash), kept (it lives on only there), new (the drive
// added it, and it is not here yet) or moving (its own copy is under way).
enum class OldEntryVerdict { Away, Kept, New, Moving };
struct OldEntryAfterCopyFacts {
    FileInfo entry;
    bool isFolder = false;
    // Replaced by a new item in this pass, or a copy of it stands in the
    // copy's folder.
    bool replaced = false;
    bool copied = false;
    // Each only when the rule gets to it: its row; its own copy under way
    // here (in this pass or, with no row, a move waiting in the change
    // table); something of its name in the copy's folder; an item at the
    // row's place here, and a rename or removal of it waiting.
    HRESULT rowFound = S_FALSE;
    FileRecord row;
    bool moving = false;
    bool renamePending = false;
    bool nameInCopy = false;
    bool rowPlaceExists = false;
    bool placeChangePending = false;
};
bool NeedsRowOfOldEntry(const OldEntryAfterCopyFacts& facts);
bool NeedsRowPlaceOfOldEntryAfterCopy(const OldEntryAfterCopyFacts& facts);
OldEntryVerdict JudgeOldEntryAfterCopy(const OldEntryAfterCopyFacts& facts);
