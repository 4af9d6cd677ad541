#pragma once
#include <windows.h>

#include <deque>
#include <map>
#include <memory>
#include <string>

#include "BrelioCore/JXEvent.h"
#include "BrelioCore/JXThread.h"
#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/SyncFolderList.h"
#include "BrelioSync/FileChange.h"
#include "BrelioSync/ItemState.h"

class CFileChangeQueue;
class CIgnoreList;
class IEngineHost;
class CSQLiteConnection;

// What one run of the storage-update thread works on. Start copies it, so
// a later change of the settings never reaches a run already going.
struct StorageUpdateSettings {
    std::wstring syncRoot;
    std::wstring databasePath;
    CNamedMutex* storageMutex = nullptr;
    const CSyncFolderList* selectedFolders = nullptr;  // none or empty: the whole drive

    // The host's settings and storage mutex.
    static StorageUpdateSettings FromHost(IEngineHost& host);
};

// The worker that turns queued local changes into rows of the local
// database, and paces the sync passes (CPassSchedule): "SyncIdleTime" after
// the last recorded local change it sets the partial-sync event, and every
// such period while nothing is recorded. It also compares the paths the
// sync thread wrote, once they are no longer masked, with what the write
// left, and records a difference as the monitor would have.
class CStorageUpdateThread : public CJXThread {
public:
    CStorageUpdateThread() = default;
    // Stops a thread still running first (through the queue, which must
    // outlive this object): it reads this object's members.
    ~CStorageUpdateThread() override;

    // HRESULT_FROM_WIN32(ERROR_BUSY), with nothing changed, while an earlier
    // run of this object is still going. The full-sync event is set when a
    // change could not be recorded: only a full sync finds it again.
    [[nodiscard]] HRESULT Start(CFileChangeQueue* queue, CIgnoreList* ignoreList, CJXEvent* partialSyncEvent,
                                CJXEvent* fullSyncEvent, const StorageUpdateSettings& settings);

private:
    // Results of DrainQueue.
    static constexpr int kQueueEmpty = 0;  // nothing was recorded
    static constexpr int kStopRead = 1;
    static constexpr int kChangesRecorded = 2;

    static DWORD WINAPI StorageUpdateThreadProc(void* param);
    DWORD Run();
    // Records every queued change under one hold of the storage mutex and
    // one database connection. An old name whose new name is not queued yet
    // is held back for the next drain, unless `settle` says its partner is
    // not coming.
    int DrainQueue(bool settle);
    // An old name has waited long enough for its new name.
    bool IsHeldBackStale() const;
    // Compares the paths the sync thread wrote, now out of the ignore list,
    // with what the write left. A difference is a local edit made while
    // the path was masked, or one made just after whose events the monitor
    // has yet to report: it is held as a finding, to be recorded as the
    // monitor would have reported it, unless the monitor's own events for
    // the item come meanwhile and tell it (they say where a gone item
    // went; a finding recorded beside them would contradict them).
    void TakeReleasedWrites();
    // Drops the findings the change tells better: those of its path and of
    // the paths beneath it. A write of an item found added is still its
    // addition: the change takes the finding's action then.
    void DropFindingsCoveredBy(CFileChange& change);
    // Records the findings whose hold is over, or all of them (once the
    // monitor has stopped no event of theirs is to come). True when rows
    // were written.
    bool RecordFindings(CSQLiteConnection* db, int openFailure, bool all);
    // Milliseconds until the next finding's hold is over; INFINITE when none
    // is held.
    DWORD TimeToNextFinding() const;
    // A queued added, removed or modified change of a written path that
    // still stands as it was compared: the late event of the write itself,
    // or of an edit already recorded from the comparison.
    bool IsEchoOfWrite(const CFileChange& change);
    // The next change to record: the one held back, else the queue's head
    // past the echoes of writes.
    bool TakeNext(std::unique_ptr<CFileChange>& change);
    // True when rows were written for the change.
    bool Record(CSQLiteConnection* db, int openFailure, const CFileChange& change);
    bool RecordRename(CSQLiteConnection* db, int openFailure, const CFileChange& oldName,
                      const CFileChange& newName);
    // The root-relative path, or null for a path outside the sync folder
    // (a change of an earlier sync folder) or for the folder itself.
    const wchar_t* RelativeInRoot(const CFileChange& change) const;
    bool IsInSelection(const wchar_t* relative) const;
    void ReportNotRecorded(int code, const wchar_t* path, int action);

    CFileChangeQueue* m_queue = nullptr;
    CIgnoreList* m_ignoreList = nullptr;
    CJXEvent* m_partialSyncEvent = nullptr;
    CJXEvent* m_fullSyncEvent = nullptr;
    std::wstring m_syncRoot;
    std::wstring m_databasePath;
    CNamedMutex* m_storageMutex = nullptr;
    CSyncFolderList m_selectedFolders;
    std::unique_ptr<CFileChange> m_heldBack;
    ULONGLONG m_heldBackSince = 0;
    // What the comparisons of written paths found, each held until `due`
    // (GetTickCount64).
    struct Finding {
        std::unique_ptr<CFileChange> change;
        ULONGLONG due = 0;
    };
    std::deque<Finding> m_findings;
    // By lower-cased full path: how a released written path stood when it
    // was compared, and until when (GetTickCount64) that is kept.
    struct SettledWrite {
        ItemState state;
        ULONGLONG until = 0;
    };
    std::map<std::wstring, SettledWrite> m_settledWrites;
};
