// One drain of the change queue into the local database.
#include <cwchar>

#include "BrelioServices/Log.h"
#include "BrelioServices/RelativePath.h"
#include "BrelioServices/SQLiteConnection.h"
#include "BrelioServices/StorageRecords.h"
#include "BrelioSync/FileChangeQueue.h"
#include "BrelioSync/IgnoreList.h"
#include "BrelioSync/StorageUpdateThread.h"
#include "StorageUpdateThreadRows.h"

namespace {

// Logged as the code of a change that found the storage mutex unusable.
constexpr int kMutexUnavailable = -1;

// What a change of one name means in the change table: the old name of a
// rename whose new name never came left that name, and a new name without
// its old one appeared there.
int ChangeActionOf(int fileAction) {
    switch (fileAction) {
        case FILE_CHANGE_ADDED: return CHANGE_ACTION_ADDED;
        case FILE_CHANGE_REMOVED: return CHANGE_ACTION_REMOVED;
        case FILE_CHANGE_MODIFIED: return CHANGE_ACTION_MODIFIED;
        case FILE_CHANGE_RENAMED_OLD: return CHANGE_ACTION_REMOVED;
        case FILE_CHANGE_RENAMED_NEW: return CHANGE_ACTION_ADDED;
        default: return 0;
    }
}

// The database of one drain. A drain that cannot open it still takes every
// change off the queue and reports each as not recorded.
struct DrainStorage {
    CSQLiteConnection db;
    int failure = 0;
};

}  // namespace

int CStorageUpdateThread::DrainQueue(bool settle) {
    // Before any change queued since a written path came out of the ignore
    // list is looked at, so that its late events are known for echoes.
    TakeReleasedWrites();
    // An old name alone is only looked at again when its partner came or
    // it is to be settled.
    if (TimeToNextFinding() != 0 && m_queue->IsEmpty() && (!m_heldBack || !settle)) return kQueueEmpty;
    CNamedMutexLock lock(m_storageMutex);
    DrainStorage storage;
    if (!lock.IsHeld()) {
        storage.failure = kMutexUnavailable;
    } else {
        try {
            storage.db.OpenCurrent(m_databasePath.c_str(), OpenMode::ReadWrite);
        } catch (int code) {
            storage.failure = code;
        }
    }
    CSQLiteConnection* db = storage.failure == 0 ? &storage.db : nullptr;

    bool recorded = false;
    std::unique_ptr<CFileChange> change;
    while (TakeNext(change)) {
        if (change->IsStopRequest()) {
            // The monitor has stopped: no event of a finding is to come.
            RecordFindings(db, storage.failure, true);
            return kStopRead;
        }
        if (change->action != FILE_CHANGE_RENAMED_OLD) {
            recorded |= Record(db, storage.failure, *change);
            continue;
        }
        std::unique_ptr<CFileChange> next;
        if (!m_queue->Pop(next)) {
            // The new name may still be on its way from the monitor.
            if (!settle) {
                m_heldBack = std::move(change);
                m_heldBackSince = ::GetTickCount64();
                break;
            }
            recorded |= Record(db, storage.failure, *change);
            continue;
        }
        if (!next->IsStopRequest()) DropFindingsCoveredBy(*next);
        if (next->action == FILE_CHANGE_RENAMED_NEW) {
            recorded |= RecordRename(db, storage.failure, *change, *next);
            continue;
        }
        // An old name without its new name; the change after it is another
        // change and is recorded on its own.
        recorded |= Record(db, storage.failure, *change);
        m_heldBack = std::move(next);
    }
    recorded |= RecordFindings(db, storage.failure, false);
    return recorded ? kChangesRecorded : kQueueEmpty;
}

bool CStorageUpdateThread::TakeNext(std::unique_ptr<CFileChange>& change) {
    if (m_heldBack) {
        change = std::move(m_heldBack);
        return true;
    }
    while (m_queue->Pop(change)) {
        if (IsEchoOfWrite(*change)) continue;
        if (!change->IsStopRequest()) DropFindingsCoveredBy(*change);
        return true;
    }
    return false;
}

bool CStorageUpdateThread::RecordFindings(CSQLiteConnection* db, int openFailure, bool all) {
    bool recorded = false;
    const ULONGLONG tick = ::GetTickCount64();
    for (auto finding = m_findings.begin(); finding != m_findings.end();) {
        if (!all && finding->due > tick) {
            ++finding;
            continue;
        }
        recorded |= Record(db, openFailure, *finding->change);
        finding = m_findings.erase(finding);
    }
    return recorded;
}

const wchar_t* CStorageUpdateThread::RelativeInRoot(const CFileChange& change) const {
    const wchar_t* path = change.path.c_str();
    const wchar_t* relative = GetRelativePath(path, m_syncRoot.c_str());
    if (relative == path) {
        Log(L"%s - not in the sync folder, dropped.", path);
        return nullptr;
    }
    return *relative != L'\0' ? relative : nullptr;
}

bool CStorageUpdateThread::IsInSelection(const wchar_t* relative) const {
    return m_selectedFolders.IsEmpty() || m_selectedFolders.ContainsPathPrefix(relative);
}

bool CStorageUpdateThread::Record(CSQLiteConnection* db, int openFailure, const CFileChange& change) {
    const int action = ChangeActionOf(change.action);
    const wchar_t* relative = RelativeInRoot(change);
    if (action == 0 || relative == nullptr) return false;
    if (m_ignoreList != nullptr && m_ignoreList->IsIgnored(relative)) return false;
    if (!IsInSelection(relative)) return false;
    if (db == nullptr) {
        ReportNotRecorded(openFailure, relative, action);
        return false;
    }
    try {
        RecordChange(*db, relative, change.isFolder, action);
    } catch (int code) {
        ReportNotRecorded(code, relative, action);
        return false;
    }
    return true;
}

bool CStorageUpdateThread::RecordRename(CSQLiteConnection* db, int openFailure, const CFileChange& oldName,
                                        const CFileChange& newName) {
    const wchar_t* oldRelative = RelativeInRoot(oldName);
    const wchar_t* newRelative = RelativeInRoot(newName);
    if (oldRelative != nullptr && m_ignoreList != nullptr && m_ignoreList->IsIgnored(oldRelative)) return false;
    const bool oldInScope = oldRelative != nullptr && IsInSelection(oldRelative);
    const bool newInScope = newRelative != nullptr && IsInSelection(newRelative);
    // A move across the edge of what is synced is a removal on one side of
    // it or an addition on the other.
    if (!oldInScope || !newInScope) {
        bool recorded = false;
        if (oldInScope) recorded |= Record(db, openFailure, oldName);
        if (newInScope) recorded |= Record(db, openFailure, newName);
        return recorded;
    }
    if (db == nullptr) {
        ReportNotRecorded(openFailure, newRelative, CHANGE_ACTION_RENAMED);
        return false;
    }
    try {
        // The old name's folder flag is always false: its path is gone.
        ::RecordRename(*db, oldRelative, newRelative, newName.isFolder);
    } catch (int code) {
        ReportNotRecorded(code, newRelative, CHANGE_ACTION_RENAMED);
        return false;
    }
    return true;
}

void CStorageUpdateThread::ReportNotRecorded(int code, const wchar_t* path, int action) {
    Log(L"Update LocalStorage failed: %d", code);
    Log(L"%s - change %d not recorded.", path, action);
    // Only a walk of the whole folder finds this change again.
    if (m_fullSyncEvent != nullptr) m_fullSyncEvent->SetEvent();
}
