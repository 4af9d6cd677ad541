// How one local change record and one remote change are classified.
#include <shlwapi.h>

#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/FileTimes.h"
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
    const FileInfo& remote = change.file;
    uint32_t code = CHANGE_NONE;
    CLocalStorage storage = Storage();
    if (IsChangeType(change, "deleted")) {
        FileRecord row;
        code = CHANGE_NO_STORAGE_ROW;
        if (storage.GetFile(remote.id, row) == S_OK) {
            const std::wstring stored = RootJoin(row.name);
            if (!stored.empty()) {
                fullPath = stored;
                code = CHANGE_REMOVED_REMOTE;
            }
        }
    } else if (IsChangeType(change, "updated") && !::PathFileExistsW(fullPath.c_str())) {
        int status = FILE_STATUS_NONE;
        if (SUCCEEDED(storage.GetFileStatus(remote.id, status))) {
            switch (status) {
                case FILE_STATUS_NONE: code = CHANGE_ADDED_REMOTE; break;
                case FILE_STATUS_SYNCED: code = CHANGE_MOVED_REMOTE; break;
                case FILE_STATUS_CHANGED: code = CHANGE_MOVED_BOTH; break;
                case FILE_STATUS_RETRANSFER: code = CHANGE_MODIFIED_REMOTE; break;
                case FILE_STATUS_LOCAL_FAILED: code = CHANGE_FAILED_LOCAL; break;
                default: break;
            }
        }
    } else if (IsChangeType(change, "updated") && IsNameTakenFrom(fullPath.c_str(), remote)) {
        // Another item holds the name here, letter case aside.
        code = CHANGE_NAME_TAKEN;
    } else if (IsChangeType(change, "updated")) {
        FileRecord row;
        if (SUCCEEDED(storage.GetFile(remote.id, row))) {
            // Renamed on the drive in letter case alone: the local name,
            // the same to the file system, is still to follow.
            if (DiffersOnlyInLetterCase(row.name, RemotePathToRowName(remote.path)))
                code = CHANGE_MOVED_REMOTE;
            else if (!IsFileType(remote.type.c_str()))
                code = remote.revision == row.revision ? CHANGE_NONE : CHANGE_MODIFIED_REVISION;
            else if (IsLocalFileChanged(fullPath.c_str(), TicksToFileTime(row.last_write_time), row.size))
                code = CHANGE_MODIFIED_BOTH;
            else if (remote.hash != row.hash)
                code = CHANGE_MODIFIED_REMOTE;
            else
                code = remote.revision == row.revision ? CHANGE_NONE : CHANGE_MODIFIED_REVISION;
        }
    }
    LogChangeCode(code, fullPath.c_str());
    return code;
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
