#pragma once
// The decisions of the full walk, as pure functions: what was gathered for
// one item (the local entry, the drive's entry, the row, and the look-ups at
// the drive its rule needs) in, a verdict or the actions out. No file,
// database or network call is made here.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "BrelioServices/ApiRecords.h"
#include "BrelioServices/StorageRecords.h"
#include "BrelioSync/SyncAction.h"

// --- Whether the walk may start ---

// A folder to be walked, as found.
struct WalkStartFacts {
    // It holds nothing here (the engine's own files aside), or is gone.
    bool missingOrEmpty = false;
    // Looked up only when it holds nothing: the drive's listing of it, and
    // whether some item listed is recorded in sync.
    HRESULT listed = S_OK;
    bool recorded = false;
};
enum class WalkStart {
    Walk,
    // Lost, unplugged or made anew empty while its items are recorded in
    // sync: no walk, nothing deleted.
    Refuse,
    // Empty, and the drive could not tell what it holds: no walk on a
    // guess.
    ListingFailed,
};
WalkStart JudgeWalkStart(const WalkStartFacts& facts);

// --- The refused walk ---

// A row whose item is missing here stands for the user's deletion: always,
// but while a refused walk stands only when the change being carried out
// (`current`, null in a walk) is the removal the monitor saw.
bool IsMissingItemDeleted(bool walkRefused, const ChangeRecord* current);

// --- A local file against the drive's entry of its name ---

struct CompareFacts {
    HRESULT rowFound = S_FALSE;
    FileRecord row;
    FILETIME localWrite = {};
    uint64_t localSize = 0;
    FileInfo entry;
    bool walkRefused = false;
};
// The change code; CHANGE_NONE when the row could not be read. The row's
// revision goes to `storedRevision` when the file changed here, and its id
// to `storedFileId` when it is another item's.
uint32_t CompareFileWithEntry(const CompareFacts& facts, uint64_t& storedRevision, uint64_t& storedFileId);

// --- A local item the walk meets ---

// A file or folder found here in the folder walked, against the drive's
// listing of that folder.
struct WalkItemFacts {
    std::wstring path;
    bool isFolder = false;
    WIN32_FIND_DATAW local = {};
    // The drive's folder walked.
    uint64_t folderId = 0;
    // The drive's entry that is this item (see EntryOfLocalItem), when the
    // listing has one.
    bool listed = false;
    FileInfo entry;
    // A listed file: CompareWithRemote's change code and what it found of
    // the row.
    uint32_t change = 0;
    uint64_t storedRevision = 0;
    uint64_t storedFileId = 0;
    // Not listed: its row's status, and for a changed one whether a rename
    // of it waits in the change table.
    HRESULT statusRead = S_OK;
    int status = FILE_STATUS_NONE;
    bool renamePending = false;
};
bool NeedsRenameCheckOfWalkItem(const WalkItemFacts& facts);
ActionPlan PlanWalkItem(const WalkItemFacts& facts);

// --- A selected folder of a selective sync, before its walk ---

struct SelectedFolderFacts {
    // The selection's entry, relative to the sync folder.
    std::wstring relativePath;
    uint64_t folderId = 0;
    // The drive's state of the folder.
    HRESULT metaResult = S_OK;
    ChangeInfo meta;
    // Its place here, and whether that could be a path.
    HRESULT joined = S_OK;
    std::wstring path;
    // Trashed on the drive, each only when the rule gets to it: its row
    // here, a rename of it waiting in the change table, and a change here
    // inside it.
    bool rowKnown = false;
    bool renamePending = false;
    bool changedBelow = false;
};
bool NeedsRowOfSelected(const SelectedFolderFacts& facts);
bool NeedsRenameCheckOfSelected(const SelectedFolderFacts& facts);
bool NeedsChangesBelowOfSelected(const SelectedFolderFacts& facts);
// Its result: S_OK when the folder is ready for its walk, S_FALSE when it
// is left out of it, E_FAIL when the drive could not tell its state.
ActionPlan PlanSelectedFolder(const SelectedFolderFacts& facts);

// --- Names that differ only in letter case ---

// The entry of the listing the local item is: the one whose row it has
// (`rowId`, 0 for none), else the first of that name and kind; the
// listing's size when none.
size_t EntryOfLocalItem(const FileInfoList& listing, const wchar_t* name, bool isFolder, uint64_t rowId);

// --- Deletions, only after the other side is seen unchanged since the row ---

// The drive's state of a row's item.
enum class DriveState { Gone, Alive, Unknown };
DriveState DriveStateOf(HRESULT metaResult, const ChangeInfo& meta);

// A row in sync whose item the drive no longer lists at that place.
struct LocalDeletionFacts {
    std::wstring path;
    bool isFolder = false;
    // The local folder's drive id, or kUnknownParentId.
    uint64_t folderId = 0;
    HRESULT rowFound = S_FALSE;
    FileRecord row;
    // Looked up in turn, each only when the rule gets to it: a rename
    // pending in the change table; the drive's state of the row's item;
    // a change here since the row (the file against its row, or anything
    // inside the folder, an item moved into it included).
    bool renamePending = false;
    HRESULT metaResult = E_FAIL;
    ChangeInfo meta;
    bool changedHere = false;
    // The folder as found here (folders only).
    WIN32_FIND_DATAW local = {};
};
enum class DeletionStep { RenamePending, DriveState, ChangedHere, Decided };
// What the rule looks at next, given what was gathered so far.
DeletionStep NextDeletionLookup(const LocalDeletionFacts& facts, DeletionStep done);
ActionPlan PlanLocalDeletion(const LocalDeletionFacts& facts);

// An item the drive trashed, as it stands here, before the checks above.
struct TrashedThereFacts {
    std::wstring path;
    // As the drive's change has it.
    bool isFolder = false;
    bool foundHere = false;
    WIN32_FIND_DATAW local = {};
    // The parent's drive id (kUnknownParentId when it has none).
    HRESULT parentFound = S_FALSE;
    uint64_t parentId = kUnknownParentId;
};
bool NeedsParentOfTrashed(const TrashedThereFacts& facts);
ActionPlan PlanTrashedThere(const TrashedThereFacts& facts);

// A file changed here that the drive's folder does not list: moved there,
// its move brings it, edit and all; gone there (or never there), the edit
// goes up as a new file.
struct UnlistedUploadFacts {
    std::wstring path;
    uint64_t folderId = 0;
    HRESULT rowFound = S_FALSE;
    FileRecord row;
    // Looked up for a row with an id: the drive's state of its item.
    HRESULT metaResult = E_FAIL;
    ChangeInfo meta;
};
bool NeedsDriveStateOfUnlisted(const UnlistedUploadFacts& facts);
ActionPlan PlanUnlistedUpload(const UnlistedUploadFacts& facts);

// --- A drive entry the local folder does not hold ---

// The row of the drive's entry, against the local side.
struct LeftoverFacts {
    // Where the drive has it, here.
    std::wstring path;
    FileInfo entry;
    FileRecord row;
    // The row's place here, empty when it cannot be one, and whether an
    // item stands there.
    std::wstring rowPath;
    bool rowPathExists = false;
    // Gone here: a rename pending in the change table, the refused-walk
    // rule, and (a folder deleted here in place only) everything below it
    // on the drive as recorded.
    bool renamePending = false;
    bool deletedHere = true;
    bool subtreeAsRecorded = false;
    // Moved there: the folder of `path` stands here.
    bool folderPresent = false;
};
// A drive entry the local folder `folderPath` does not hold, before the
// rule above: what its row's status says of it.
struct LeftoverEntryFacts {
    std::wstring folderPath;
    FileInfo entry;
    // Where the drive has it, here, and whether that could be a path.
    HRESULT joined = S_OK;
    std::wstring path;
    // On its way to the place it was moved to here.
    bool moving = false;
    HRESULT statusRead = S_OK;
    int status = FILE_STATUS_NONE;
    // A rename of it pending in the change table.
    bool renamePending = false;
    // Each only when the rule gets to it: its row, and whether an item
    // stands at `path`.
    HRESULT rowFound = S_FALSE;
    FileRecord row;
    bool pathExists = false;
};
bool NeedsStatusOfLeftover(const LeftoverEntryFacts& facts);
bool NeedsRowOfLeftover(const LeftoverEntryFacts& facts);
bool NeedsPlaceOfLeftover(const LeftoverEntryFacts& facts);
ActionPlan PlanLeftoverEntry(const LeftoverEntryFacts& facts);

bool IsMovedThere(const LeftoverFacts& facts);
bool NeedsRenameCheck(const LeftoverFacts& facts);
bool NeedsSubtreeCheck(const LeftoverFacts& facts);
ActionPlan PlanRemoteLeftover(const LeftoverFacts& facts);

// --- Moves that form a loop ---

// The folders on the way from the full path up to the sync folder (whose
// path is `rootLength` long), nearest first.
std::vector<std::wstring> FoldersAbove(const std::wstring& fullPath, size_t rootLength);
// A folder on the way to the new place of the folder `folderName` (a row
// name) lies, on the drive, inside that folder: the move made here would
// put the folder inside itself.
bool ClosesMoveLoop(const ChangeInfo& onTheWay, const std::wstring& folderName);
