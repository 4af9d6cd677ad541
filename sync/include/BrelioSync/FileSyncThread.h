#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "BrelioCore/JXEvent.h"
#include "BrelioCore/JXThread.h"
#include "BrelioServices/ApiRecords.h"
#include "BrelioServices/LocalStorage.h"
#include "BrelioServices/StorageRecords.h"
#include "BrelioServices/SyncFolderList.h"

class CSyncManager;
struct OldFolderContent;
struct ActionPlan;
struct SyncAction;
struct WalkItemFacts;

// How a transfer writes the item's row: a new row, or the row it has,
// found by the item's id or, for content that was to come again and goes
// up as a new item, by its name.
enum class RowWrite { Insert, Update, UpdateByName };
inline RowWrite RowWriteOf(bool insert) { return insert ? RowWrite::Insert : RowWrite::Update; }

// The local file holds the content of the drive's entry, read whole with
// the size and time it has before and after (a file being written is not).
bool HasSameContent(const FileInfo& remote, const wchar_t* path, uint64_t& size, FILETIME& lastWrite);

// What a sync pass works on, taken from the settings and the engine's host
// when the thread starts.
struct SyncEnvironment {
    std::wstring syncRoot;
    std::wstring databasePath;
    CNamedMutex* storageMutex = nullptr;
    HANDLE stopEvent = nullptr;
    CSyncManager* syncManager = nullptr;
    const CSyncFolderList* selectedFolders = nullptr;
};

// What one reconciliation left unsettled, so that the next pass takes it
// up again: the lowest revision of a remote change it did not carry out.
// (Local change records it did not carry out simply stay in the change
// table.)
struct ReconcileOutcome {
    uint64_t lowestUnsettledRevision = UINT64_MAX;
    size_t unsettledLocalCount = 0;

    void MarkUnsettled(const ChangeInfo& change);
};

// What one reconciliation keeps from record to record, and from its local
// phase to its remote one.
struct PassContext {
    // Each path an item was renamed away from in this pass, and the item.
    std::map<std::wstring, uint64_t> renames;
    // The name each item renamed here had when this reconciliation began:
    // the first old name of its renames, where the drive last saw it.
    std::map<uint64_t, std::wstring> syncedNames;
    // The record being carried out left the remote change it met to the
    // remote phase (or to a later record of the item).
    bool remoteChangeLeft = false;
    // The local record being carried out; null in the remote phase.
    const ChangeRecord* currentRecord = nullptr;
    // The remote changes the local phase meets; null in the remote phase,
    // which goes through them itself.
    ChangeInfoList* remoteChanges = nullptr;
    // Remote items this reconciliation replaced by new ones (a local move):
    // their own remote changes are settled with them.
    std::set<uint64_t> replacedIds;
    // Remote items whose copy to a new place is under way: a walk of the
    // folder they are leaving must not bring them back here.
    std::set<uint64_t> movingIds;
};

// Where a change stands in the drive's changes feed.
uint64_t ChangeRevision(const ChangeInfo& change);
// The highest revision up to which every fetched change was carried out,
// never below what was stored.
uint64_t SettledRevision(uint64_t stored, uint64_t highestFetched, const ReconcileOutcome& outcome);

// The worker that brings the sync folder and the drive into agreement: it
// waits for a partial or full sync request, or for the stop event.
class CFileSyncThread : public CJXThread {
public:
    CFileSyncThread() = default;
    // Ends a thread still running first (it reads this object): its run is
    // stopped and the thread awaited before any member goes.
    ~CFileSyncThread() override;

    // Works on a copy of the host's settings taken here, so that the
    // UI thread may rewrite them meanwhile. HRESULT_FROM_WIN32(ERROR_BUSY),
    // with nothing changed, while an earlier run is still going.
    [[nodiscard]] HRESULT Start(CJXEvent* partialSyncEvent, CJXEvent* fullSyncEvent, CSyncManager* manager);
    // The same for a given environment; its selected folders are copied.
    [[nodiscard]] HRESULT Start(const SyncEnvironment& environment, CJXEvent* partialSyncEvent,
                                CJXEvent* fullSyncEvent);
    // Ends the run: from now on its requests end with E_ABORT, its loops
    // at their next check and its wait at once, even should the
    // host's stop event be reset meanwhile. Then waits up to the
    // time; the result is that of CJXThread::Close.
    [[nodiscard]] HRESULT Stop(DWORD milliseconds);

    // The passes. Each posts status 1014 as it starts and one status as it
    // ends: 1015 only when it did everything it had to, else what kept it
    // from that. A full pass whose walk is refused ends with the walk.
    void RunPartialPass();
    void FullSync();
    // Reconciles the remote changes after the stored revision with the
    // recorded local changes. Stores the revision up to which every remote
    // change was fetched and carried out, never beyond, and puts the local
    // records it did not carry out back into the change table.
    [[nodiscard]] HRESULT PartialSync();
    [[nodiscard]] HRESULT Reconcile(ChangeRecordList& localChanges, ChangeInfoList& remoteChanges,
                                    ReconcileOutcome& outcome);
    uint32_t ClassifyLocalChange(const ChangeRecord& record, ChangeInfoList& remoteChanges, ChangeInfo*& matched);
    uint32_t ClassifyRemoteChange(std::wstring& fullPath, const ChangeInfo& change);
    static bool IsLocalFileChanged(const wchar_t* path, const FILETIME& storedTime, uint64_t storedSize);

    // Takes the environment for the next passes and clears stop seen.
    void Configure(const SyncEnvironment& environment);
    // The environment of the manager's host: its settings, storage mutex
    // and stop event, and the given manager.
    static SyncEnvironment EnvironmentFromHost(CSyncManager* manager);
    const SyncEnvironment& GetEnvironment() const { return m_env; }
    bool IsStopSeen() const { return m_stopSeen; }
    bool IsPassIncomplete() const { return m_passIncomplete; }

    // The walk of a full sync over the whole sync folder or each selected
    // folder. Refuses to start, deleting nothing, when the sync folder is
    // missing or holds nothing while the drive has items recorded in sync,
    // and remembers that in the database until a walk succeeds.
    [[nodiscard]] HRESULT FullSyncWalk();

    // Deletes, in the folder and below it, every temporary file that a
    // download cut short by a crash, kill or shutdown left behind.
    void RemoveDownloadLeftovers(const wchar_t* folderPath);

    // Full sync of one folder against the remote listing of folder id (0 is
    // the drive root).
    [[nodiscard]] HRESULT FullSyncFolder(const wchar_t* folderPath, uint64_t folderId);
    // 0 when the selected folder is ready for its walk, 1 to skip it,
    // E_FAIL when its metadata could not be fetched.
    [[nodiscard]] HRESULT SyncSelectedFolder(const wchar_t* relativePath, uint64_t folderId);
    uint32_t CompareWithRemote(const wchar_t* path, const WIN32_FIND_DATAW& data, const FileInfo& entry,
                               uint64_t& storedRevision, uint64_t& storedFileId);
    // The first entry of that kind whose name equals the name, letter case
    // aside; end() when none.
    static FileInfoList::iterator FindRemoteEntry(FileInfoList& listing, const wchar_t* name, bool isFolder);

    // Names that differ only in letter case (CaseTwins.cpp). The entry the
    // local item at the path is: the one whose row it has, else the first
    // of that name and kind.
    FileInfoList::iterator FindEntryOfLocalItem(FileInfoList& listing, const wchar_t* path, const wchar_t* name,
                                                bool isFolder);
    // The local name the drive's item would take is another item's here:
    // another drive item's (by its row), or a local item's of the other
    // kind.
    bool IsNameTakenFrom(const wchar_t* path, const FileInfo& remote);
    // Reports the drive's item refused for that.
    [[nodiscard]] HRESULT RefuseTakenName(const wchar_t* path, bool isFolder);

    // File actions. Each reports its result as a sync item and logs it.
    [[nodiscard]] HRESULT UploadFile(uint64_t targetId, const wchar_t* path, uint64_t latestRevision,
                                     RowWrite rowWrite);
    [[nodiscard]] HRESULT UploadChangedFile(uint64_t fileId, const wchar_t* path);
    // The file's row is in sync with the file as it is now.
    bool IsUploadRecorded(uint64_t fileId, const wchar_t* path);
    [[nodiscard]] HRESULT Download(const FileInfo& info, const wchar_t* path, RowWrite rowWrite);
    [[nodiscard]] HRESULT DownloadById(uint64_t fileId, const wchar_t* path, bool insert);
    // The drive's folder made here with its row in sync; the second also
    // brings everything in it before the folder is told as done.
    [[nodiscard]] HRESULT CreateLocalFolder(const FileInfo& info, const wchar_t* path);
    [[nodiscard]] HRESULT CreateLocalFolderAndWalk(const FileInfo& info, const wchar_t* path);
    [[nodiscard]] HRESULT DeleteLocalFolder(const wchar_t* path);
    [[nodiscard]] HRESULT DeleteLocalFile(const wchar_t* path);
    [[nodiscard]] HRESULT DeleteLocalById(uint64_t fileId);
    [[nodiscard]] HRESULT DeleteRemote(uint64_t fileId, const wchar_t* relativeName, bool isFolder);
    [[nodiscard]] HRESULT DeleteRemoteEntry(const FileInfo& info, const wchar_t* relativeName);
    [[nodiscard]] HRESULT RenameRemote(uint64_t fileId, const wchar_t* newRelativeName, const wchar_t* oldRelativeName);
    [[nodiscard]] HRESULT MoveLocal(uint64_t fileId, const wchar_t* newRelativePath, const std::string& hash,
                                    uint64_t revision);
    [[nodiscard]] HRESULT CreateRemoteFolderForPath(const wchar_t* path, uint64_t& folderId);
    [[nodiscard]] HRESULT CreateRemoteFolder(uint64_t parentId, const wchar_t* path, const WIN32_FIND_DATAW& data,
                                             uint64_t& folderId);
    [[nodiscard]] HRESULT MakeConflictCopy(const wchar_t* path, std::wstring& copyPath);
    // Where both sides changed: when the local file's content has the
    // remote entry's hash there is no conflict, and its row is written in
    // sync (the local size and time, the entry's id, hash and revision).
    // S_OK when so; S_FALSE when the contents differ or cannot be compared
    // (a hash of unknown form, a file that cannot be read).
    [[nodiscard]] HRESULT RecordIfSameContent(const FileInfo& remote, const wchar_t* path);
    // The row of the file, whose content was found to be the entry's, read
    // with that size and time.
    [[nodiscard]] HRESULT RecordSameContent(const FileInfo& remote, const wchar_t* path, uint64_t size,
                                            const FILETIME& lastWrite);

protected:
    // True once the application's stop event or this run's stop has been
    // seen in this pass.
    bool CheckStop();
    CLocalStorage Storage() const;
    std::wstring RootJoin(const std::wstring& relative) const;
    const wchar_t* Relative(const wchar_t* fullPath) const;

private:

    // The local folder and its row, told with its log line and item.
    [[nodiscard]] HRESULT MakeLocalFolder(const FileInfo& info, const wchar_t* path);
    [[nodiscard]] HRESULT ReportLocalFolder(const wchar_t* path, HRESULT hr);
    // A selected folder made here with the folders above it, and its row.
    [[nodiscard]] HRESULT MakeSelectedFolder(const wchar_t* path);
    [[nodiscard]] HRESULT RecordSelectedFolder(uint64_t folderId, const FileInfo& info, const wchar_t* path);

    // After a transfer: the row written in sync, the log line and the item.
    [[nodiscard]] HRESULT FinishTransfer(HRESULT hr, const FileInfo& info, const wchar_t* path, uint64_t size,
                                         const FILETIME& lastWrite, RowWrite rowWrite, const wchar_t* doneLine,
                                         const wchar_t* failedLine);

    static DWORD WINAPI FileSyncThreadProc(void* param);
    DWORD Run();
    // Deletes the change rows of a record whose action was carried out.
    void SettleLocalChange(const ChangeRecord& record);
    // The action of each local code; a failure leaves the record unsettled.
    // An action that leaves the matched remote change to a later record or
    // to the remote phase sets `matched` to null.
    [[nodiscard]] HRESULT ActOnLocalChange(uint32_t code, const ChangeRecord& record, ChangeInfo*& matched,
                                           PassContext& pass);
    // The executor: each action of a plan carried out in order, with its
    // row, log line and status item, until one fails.
    [[nodiscard]] HRESULT ExecutePlan(const ActionPlan& plan, PassContext& pass);
    [[nodiscard]] HRESULT CarryOut(const SyncAction& action, PassContext& pass);
    // A plan whose actions need nothing of a reconciliation, carried out
    // within the one under way, if any.
    [[nodiscard]] HRESULT ExecuteOwnPlan(const ActionPlan& plan);
    [[nodiscard]] HRESULT ActOnRemoteChange(uint32_t code, const ChangeInfo& change, const std::wstring& fullPath,
                                            PassContext& pass);
    // Keeps the local file as a conflict copy, takes the remote content in
    // its place and uploads the copy as a new file; unless both hold the
    // same content.
    [[nodiscard]] HRESULT ResolveBothModified(const FileInfo& remote, const wchar_t* fullPath, bool insert);
    // A conflict copy of the file: one made earlier that holds the same
    // content, else a new one.
    [[nodiscard]] HRESULT KeepConflictCopy(const wchar_t* path, std::wstring& copyPath);

    // Decisions where both sides changed one item since the last pass.
    // The item's row against its remote state: a move there is followed
    // here, and the content goes the way that loses no edit.
    [[nodiscard]] HRESULT FollowRemoteMove(const FileInfo& remote, const wchar_t* path, const FileRecord& row);
    [[nodiscard]] HRESULT SettleRenameAgainstRemote(const ChangeRecord& record, const wchar_t* fullPath,
                                                    const ChangeInfo& remote, PassContext& pass);
    // The local folder (a row name) is, by its id, the drive's folder at
    // the remote path.
    bool IsRemoteFolderOf(const std::wstring& localFolder, const std::wstring& remoteFolder,
                          const PassContext& pass);
    // A local rename or move sent to the drive.
    [[nodiscard]] HRESULT SendLocalRename(const ChangeRecord& record, const wchar_t* fullPath, PassContext& pass);
    // The drive has no move: the item goes up anew at its new place, then
    // the old one goes to the trash.
    [[nodiscard]] HRESULT MoveRemoteByCopy(uint64_t oldId, const wchar_t* oldRelativeName, const wchar_t* fullPath,
                                           bool isFolder, PassContext& pass);
    [[nodiscard]] HRESULT CopyFolderUp(const wchar_t* folderPath, uint64_t parentId, uint64_t oldFolderId,
                                       PassContext& pass);
    // The folder of the copy at its new place, made now or found made by a
    // run cut short, and what it holds already.
    [[nodiscard]] HRESULT PlaceFolderCopy(const wchar_t* folderPath, uint64_t parentId, uint64_t oldFolderId,
                                          uint64_t& folderId, FileInfoList& copied);
    // The old folder once its copy stands: to the trash as far as nothing
    // in it is held nowhere else.
    [[nodiscard]] HRESULT TrashOldFolder(uint64_t oldId, const wchar_t* oldRelativeName, const wchar_t* fullPath,
                                         uint64_t parentId, PassContext& pass);
    [[nodiscard]] HRESULT JudgeOldFolder(uint64_t oldFolderId, uint64_t copyFolderId, OldFolderContent& content,
                                         int depth, const PassContext& pass);
    [[nodiscard]] HRESULT TrashMovedParts(const OldFolderContent& content);
    // The folder moved here to the full path would, with the drive's moves
    // followed here, lie inside itself: some folder on the way to the new
    // place lies inside it on the drive. The folder's state on the drive
    // comes with it.
    [[nodiscard]] HRESULT FindMoveLoop(uint64_t folderId, const wchar_t* fullPath, ChangeInfo& folderMeta, bool& loops);
    // The folder goes back to its place on the drive.
    [[nodiscard]] HRESULT UndoLoopingMove(const ChangeInfo& folderMeta, const wchar_t* fullPath);
    // A move sent as a copy by a run that was cut short: the row of the
    // new place names the copy, and the old item may still be there.
    [[nodiscard]] HRESULT ResumeMoveByCopy(const ChangeRecord& record, const wchar_t* fullPath, PassContext& pass);
    [[nodiscard]] HRESULT KeepRenamedAgainstRemoteDeletion(const ChangeRecord& record, const wchar_t* fullPath,
                                                           PassContext& pass);
    [[nodiscard]] HRESULT SettleLocalFolderRemoval(const ChangeRecord& record, const wchar_t* fullPath,
                                                   PassContext& pass);
    // The remote changes of items the drive moved out of a folder (a row
    // name, and its name on the drive) that was deleted here, carried out
    // ahead of the deletion.
    [[nodiscard]] HRESULT SettleMovesOutOf(const std::wstring& folderName, const std::wstring& remoteFolderName,
                                           PassContext& pass);
    // A remote deletion met with the checks of the full walk.
    [[nodiscard]] HRESULT DeleteLocalChecked(const wchar_t* path, bool isFolder);
    // The local folder made on the drive in the parent, new or anew, each
    // item in it settled on its own.
    [[nodiscard]] HRESULT CreateRemoteFolderInAndWalk(const wchar_t* path, const WIN32_FIND_DATAW& data,
                                                      uint64_t parentId);
    bool IsSelected(const wchar_t* relativeName) const;

    // The full-sync decisions for one local item or one leftover remote
    // entry, each in its own file.
    [[nodiscard]] HRESULT SyncLocalFolder(const wchar_t* path, const WIN32_FIND_DATAW& data, uint64_t folderId,
                                          FileInfoList& listing);
    [[nodiscard]] HRESULT SyncLocalFile(const wchar_t* path, const WIN32_FIND_DATAW& data, uint64_t folderId,
                                        FileInfoList& listing);
    [[nodiscard]] HRESULT SyncRemoteLeftover(const wchar_t* folderPath, const FileInfo& entry);
    // What the walk's rule needs of a local item the drive's folder does
    // not list: its row's status and, for a changed one, a pending rename.
    void GatherUnlistedItem(WalkItemFacts& facts);
    // A row in sync whose item the drive no longer lists at its place:
    // deleted here only after the drive is seen to have trashed it and
    // nothing here changed since the row (folderId: the local folder's).
    [[nodiscard]] HRESULT DeleteLocalItemChecked(const wchar_t* path, const WIN32_FIND_DATAW& data, bool isFolder,
                                                 uint64_t folderId);
    // A file changed here that the remote folder does not list.
    [[nodiscard]] HRESULT UploadChangedUnlisted(const wchar_t* path, uint64_t folderId);
    [[nodiscard]] HRESULT RemoveRemoteLeftover(const wchar_t* path, const FileInfo& entry, const FileRecord& row);
    // A rename in the change table that involves the item, not yet sent
    // (the record being carried out aside).
    bool IsRenamePending(uint64_t fileId, const wchar_t* relativeName);
    // The same among changes the caller read already.
    bool IsRenamePending(const ChangeRecordList& recorded, uint64_t fileId, const wchar_t* relativeName);
    // A rename or removal of the item in the change table (the record
    // being carried out aside): a record that decides where it is.
    bool IsPlaceChangePending(uint64_t fileId);
    // A rename in the change table that moved an item into the folder (a
    // row name) from outside it.
    bool IsMoveIntoPending(const wchar_t* folderName);
    // A rename of the item recorded after the record being carried out.
    bool IsRenamedLater(uint64_t fileId, const PassContext& pass);
    // The change table without the record being carried out; false when it
    // could not be read.
    bool ReadPendingChanges(ChangeRecordList& pending);
    // An item renamed or moved here whose new place is gone again, with no
    // later record for it: it went with a folder deleted here.
    [[nodiscard]] HRESULT SettleVanishedItem(const ChangeRecord& record, PassContext& pass);
    bool HasLocalChangesBelow(const wchar_t* folderPath);
    // Logs why the item waits; a failure also becomes a failed item.
    [[nodiscard]] HRESULT ReportSkipped(const wchar_t* path, bool isFolder, HRESULT reason, const wchar_t* why);
    // An action's result as a sync item; a failure marks the pass
    // incomplete.
    BOOL NotifyResult(const wchar_t* path, bool isFolder, HRESULT result);
    // The status a pass closes with: completed, the sync folder's warning
    // while a refused walk stands, or that some of it was not done.
    void NotifyPassEnd(bool succeeded);

    // The refused walk as the database remembers it, read as each pass
    // starts, and written.
    void ReadWalkRefusal();
    void RememberWalkRefusal(bool refused);
    // A row whose item is missing here stands for the user's deletion:
    // always, but while a refused walk stands only when the change being
    // carried out is the removal the monitor saw. A folder lost or made
    // anew empty is no user who deleted everything.
    bool IsMissingItemDeleted() const;

    SyncEnvironment m_env;
    bool m_stopSeen = false;
    // Set when an item of the pass failed or was skipped: the walk of a
    // full sync then does not cover every change up to the drive's
    // revision.
    bool m_passIncomplete = false;
    // Set when an item of the pass failed: the pass does not close as
    // completed. (An item the walk leaves to the partial sync is no failure.)
    bool m_itemFailed = false;
    // A walk of the sync folder was refused and none has succeeded since.
    bool m_walkRefused = false;
    // This pass's walk refused to start: the pass ends there, with the
    // warning the walk posted.
    bool m_walkRefusedNow = false;
    // Set by Stop, reset by Start: a run once stopped stays stopped.
    CJXEvent m_stopRequested{true, false, nullptr};
    CJXEvent* m_partialSyncEvent = nullptr;
    CJXEvent* m_fullSyncEvent = nullptr;
    // The selection of the run started last, apart from the settings.
    CSyncFolderList m_selectedFolders;
    // The reconciliation under way, for the full-sync walks its actions
    // run: the walk's functions are the full sync's too, which has no
    // reconciliation. Null outside one.
    PassContext* m_pass = nullptr;
    // The local record being carried out, if any.
    const ChangeRecord* CurrentRecord() const { return m_pass != nullptr ? m_pass->currentRecord : nullptr; }
};
