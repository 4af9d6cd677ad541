// How one local change record and one remote change are classified.
#include <shlwapi.h>

#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/RemoteChangePlan.h"
#include "BrelioSync/RemoteLookups.h"

namespace {

bool IsChangeType(const ChangeInfo& change, const char* type) { return change.changeType == type; }

}  // namespace

uint32_t CFileSyncThread::ClassifyLocalChange(const ChangeRecord& record, ChangeInfoList& remoteChanges,
                                              ChangeInfo*& matched) {
    matched = nullptr;
    ChangeInfo* remote = FindRemoteChange(remoteChanges, record);
    switch (record.action) {
        case CHANGE_ACTION_ADDED:
            return remote == nullptr ? CHANGE_ADDED_LOCAL : CHANGE_MODIFIED_LOCAL;
        case CHANGE_ACTION_REMOVED:
            if (remote == nullptr) return CHANGE_REMOVED_LOCAL;
            if (IsChangeType(*remote, "deleted")) {
                matched = remote;
                return CHANGE_REMOVED_BOTH;
            }
            return CHANGE_MODIFIED_REMOTE;
        case CHANGE_ACTION_MODIFIED:
            if (remote == nullptr) return record.file_id == 0 ? CHANGE_ADDED_LOCAL : CHANGE_MODIFIED_LOCAL;
            // Edited here, trashed there: the remote phase meets the deletion
            // with the full walk's checks, which keep the edit as a new item
            // (and, for a trashed folder, bring the folder back holding it).
            if (IsChangeType(*remote, "deleted")) return CHANGE_REMOVED_REMOTE;
            matched = remote;
            return IsChangeType(*remote, "updated") ? CHANGE_MODIFIED_BOTH : CHANGE_MODIFIED_LOCAL;
        case CHANGE_ACTION_RENAMED:
            if (remote == nullptr) return CHANGE_RENAMED_LOCAL;
            matched = remote;
            return CHANGE_MOVED_BOTH;
        default:
            return CHANGE_MODIFIED_LOCAL;
    }
}

uint32_t CFileSyncThread::ClassifyRemoteChange(std::wstring& fullPath, const ChangeInfo& change) {
    // What the classification looks at, read before deciding.
    RemoteChangeFacts facts;
    facts.change = change;
    facts.fullPath = fullPath;
    const FileInfo& remote = change.file;
    CLocalStorage storage = Storage();
    if (IsChangeType(change, "deleted")) {
        facts.rowFound = storage.GetFile(remote.id, facts.row);
        if (facts.rowFound == S_OK) facts.rowPath = RootJoin(facts.row.name);
    } else if (IsChangeType(change, "updated")) {
        facts.exists = ::PathFileExistsW(fullPath.c_str()) != FALSE;
        if (!facts.exists) {
            facts.statusRead = SUCCEEDED(storage.GetFileStatus(remote.id, facts.status));
        } else {
            facts.nameTaken = IsNameTakenFrom(fullPath.c_str(), remote);
            if (!facts.nameTaken) {
                facts.rowFound = storage.GetFile(remote.id, facts.row);
                facts.changedHere = SUCCEEDED(facts.rowFound) && IsFileType(remote.type.c_str()) &&
                                    IsLocalFileChanged(fullPath.c_str(), TicksToFileTime(facts.row.last_write_time),
                                                       facts.row.size);
            }
        }
    }
    RemoteClassification classified = ClassifyRemote(facts);
    fullPath = std::move(classified.fullPath);
    LogChangeCode(classified.code, fullPath.c_str());
    return classified.code;
}

bool CFileSyncThread::IsLocalFileChanged(const wchar_t* path, const FILETIME& storedTime, uint64_t storedSize) {
    // Read without opening the file: an editor that holds it open must not
    // make an edit look unchanged, or the remote content would replace it.
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return false;
    if (::CompareFileTime(&data.ftLastWriteTime, &storedTime) != 0) return true;
    const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return size != storedSize;
}
