#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "BrelioServices/ApiRecords.h"
#include "BrelioServices/StorageRecords.h"

// What a decision of the sync engine asks to be done, as data: the
// planners (sync/src/plan/) make these from what was gathered, and the
// executor carries each out with its row, log line and status item.
enum class ActionKind {
    // A log line only: `reason` is its text, with `path` in it.
    Note,
    // The decision ends with `result`: a look-up it needed failed.
    Fail,
    // The item waits, `reason` saying why and `result` what kept it.
    Skip,
    // The plan ends with S_FALSE: the selected folder is left out of this
    // walk.
    LeaveOut,
    // The pass remembers the name an item renamed here had when it began
    // (`name`), where the drive last saw it.
    RememberSyncedName,
    // The pass remembers that the item `fileId` was renamed away from `path`.
    RememberRenamedAway,
    // The pass remembers that the drive's item `fileId` is replaced by a
    // new one (a local move): its own remote changes are settled with it.
    RememberReplaced,
    // The file at `path` up as its item `fileId` (0: by its row or new).
    UploadChanged,
    // The same, unless its row is in sync with the file already.
    UploadUnlessRecorded,
    // The file at `path` up as a new item into the folder `targetId`.
    UploadNew,
    // The file at `path` up over its item `fileId`, whose row has the
    // revision `revision`.
    UploadRevision,
    // The file at `path`, whose content was to come again, up as a new
    // item into the folder `targetId`; its row, found by its name, takes
    // the new item.
    UploadByName,
    // The folder at `path` made on the drive, under its parent's row.
    CreateRemoteFolder,
    // The same, then everything in it synced.
    CreateRemoteFolderAndWalk,
    // The folder at `path` made on the drive in `targetId`, new or anew,
    // each item in it settled on its own (`local` is the folder as found
    // here).
    CreateRemoteFolderInAndWalk,
    // The drive's content of `remote` into `path` (`insert`: a new row).
    Download,
    // The drive's folder `remote` made here at `path`, its row in sync.
    CreateLocalFolder,
    // The same, then everything in it synced.
    CreateLocalFolderAndWalk,
    // The file or folder at `path` to the recycle bin, its row gone.
    DeleteLocalFile,
    DeleteLocalFolder,
    // The same for the item `fileId`, its state asked of the drive first.
    DownloadById,
    // Both sides edited the file at `path`: the drive's content keeps the
    // name, the local one lives on as a conflict copy.
    ResolveBothModified,
    // The local item of `fileId` moved to `path`, its row taking `hash`
    // and `revision`.
    MoveLocal,
    // The row of `remote` takes the drive's revision.
    SetRevision,
    // The row of `fileId` is in sync.
    MarkSynced,
    // The drive's folder `remote` takes the row at `path` (`local`: the
    // folder as found here), in sync.
    RecordRemoteFolder,
    // The same for the folder the drive's listing has where the walk found
    // it; unrecorded, it is a failed item.
    RecordListedFolder,
    // The selected folder at `path` made here with the folders above it,
    // and its drive item `remote` given a row if it has none.
    MakeSelectedFolder,
    RecordSelectedFolder,
    // The row of `fileId` goes, the item being gone on both sides.
    MarkDeleted,
    // The row at `path` goes, the item being gone here as well.
    DropRowAt,
    // The item at `path` reported with `result`, nothing else done.
    ReportFailed,
    // The rows of `row` and below it renamed from `oldName` to `path`
    // (full paths), with the row's own hash and revision.
    RenameRows,
    // The drive's item `fileId` to the trash (`name`: its row name).
    DeleteRemote,
    // The drive's entry `remote`, found at `path`, to the trash.
    DeleteRemoteEntry,
    // The drive's item `fileId` renamed from `oldName` to `name`.
    RenameRemote,
    // The item at `path` up anew at its new place, and its old one
    // `fileId` (at `oldName`) to the trash.
    MoveRemoteByCopy,
    // The folder at `path`, moved here, copied up into the copy's folder
    // `targetId` from the old folder `fileId`.
    CopyFolderUp,
    // The file at `path` holds the content of the drive's `remote` (read
    // with the size and time in `local`): its row in sync.
    RecordSameContent,
    // The drive's moves out of the folder `name` (there `oldName`) carried
    // out ahead of its deletion here.
    SettleMovesOutOf,
    // The drive's item `remote`, gone here: what changed there comes back
    // to `path`, the rest goes to the trash.
    RemoveRemoteLeftover,
    // Decisions taken when their turn comes, on what stands then: an
    // earlier action of the same plan changes what they see.
    FollowRemoteMove,
    SendLocalRename,
    SettleRenameAgainstRemote,
    KeepRenamedAgainstDeletion,
    SettleLocalFolderRemoval,
    SettleVanishedItem,
    ResumeMoveByCopy,
    // The drive trashed the item at `path`: it goes here too, with the
    // checks of the full walk.
    DeleteLocalChecked,
    // Those checks for the item found at `path` (`local`), its parent's
    // drive id `targetId`.
    DeleteLocalItemChecked,
    // The file at `path`, changed here, which the drive's folder
    // `targetId` does not list.
    UploadChangedUnlisted,
    // The local folder at `path` walked against the drive's folder
    // `targetId`.
    WalkFolder,
};

// The side an action changes.
enum class ActionSide { None, Local, Drive, Row, Decision };

ActionSide SideOf(ActionKind kind);

// How a wait of an action for its folder counts (the drive's place needs
// a folder that a later remote change brings).
enum class WaitOutcome {
    Failure,
    // No failure: the remote phase follows the move later.
    Settled,
    // No failure, and the remote change the record met is left to the
    // remote phase.
    LeavesRemoteChange,
};

// What a failure of an action makes of its plan.
enum class FailureOutcome {
    // The plan ends with that failure.
    Fails,
    // The action told it; the plan ends with S_FALSE, which leaves the
    // selected folder out of the walk.
    LeavesOut,
};

struct SyncAction {
    ActionKind kind = ActionKind::Note;
    ActionSide side = ActionSide::None;
    // The local full path acted on.
    std::wstring path;
    // Row names: the item's, or the place it goes; the place it leaves.
    std::wstring name;
    std::wstring oldName;
    uint64_t fileId = 0;
    // The drive's folder the item goes into.
    uint64_t targetId = 0;
    bool isFolder = false;
    bool insert = false;
    // The drive's info and the row, for the actions that carry them.
    FileInfo remote;
    FileRecord row;
    // The local change record a decision is taken for.
    ChangeRecord record;
    // The remote change a decision meets, in the pass's list.
    ChangeInfo* remoteChange = nullptr;
    std::string hash;
    uint64_t revision = 0;
    WIN32_FIND_DATAW local = {};
    HRESULT result = S_OK;
    // Why, for the log.
    const wchar_t* reason = nullptr;
    WaitOutcome wait = WaitOutcome::Failure;
    FailureOutcome failure = FailureOutcome::Fails;
    // Carried out, the remote change it met is settled with it.
    bool takesRemoteChange = false;
};

SyncAction MakeAction(ActionKind kind);

// The actions of one decision, carried out in order until one fails; the
// plan's result is that of its last action (S_OK when it has none).
struct ActionPlan {
    std::vector<SyncAction> steps;
    // The remote change the local record met is left to the remote phase
    // (or to a later record of the item).
    bool leavesRemoteChange = false;

    SyncAction& Add(ActionKind kind);
    // The item at `path` waits: `reason` is what kept it, `why` the log's
    // word for it.
    SyncAction& AddSkip(const std::wstring& path, bool isFolder, HRESULT reason, const wchar_t* why);
    // A log line, `line` naming `path`.
    SyncAction& AddNote(const std::wstring& path, const wchar_t* line);
    // The local folder at `path` (as found: `local`) made on the drive in
    // `parentId` and walked.
    SyncAction& AddFolderUpAndWalk(const std::wstring& path, const WIN32_FIND_DATAW& local, uint64_t parentId);
    // The deletion checks of the item found at `path`, in the drive's
    // folder `folderId`.
    SyncAction& AddDeletionChecks(const std::wstring& path, const WIN32_FIND_DATAW& local, bool isFolder,
                                  uint64_t folderId);
};
