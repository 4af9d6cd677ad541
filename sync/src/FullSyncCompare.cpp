#include <cstring>
#include <cwchar>

#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/FileTimes.h"

uint32_t CFileSyncThread::CompareWithRemote(const wchar_t* path, const WIN32_FIND_DATAW& data, const FileInfo& entry,
                                            uint64_t& storedRevision, uint64_t& storedFileId) {
    FileRecord row;
    const HRESULT found = Storage().GetFile(path, row);
    if (FAILED(found)) return CHANGE_NONE;
    uint32_t code;
    if (found == S_FALSE) {
        code = CHANGE_NO_STORAGE_ROW;
    } else if (row.status == FILE_STATUS_RETRANSFER) {
        code = CHANGE_MODIFIED_BOTH;
    } else {
        code = CHANGE_NONE;
        const FILETIME stored = TicksToFileTime(row.last_write_time);
        if (row.status == FILE_STATUS_CHANGED || ::CompareFileTime(&stored, &data.ftLastWriteTime) != 0 ||
            FindDataSize(data) != row.size) {
            code = CHANGE_MODIFIED_LOCAL;
            storedRevision = row.revision;
        }
        if (_stricmp(row.hash.c_str(), entry.hash.c_str()) != 0 || entry.revision != row.revision)
            code |= CHANGE_MODIFIED_REMOTE;
        if (row.file_id != entry.id) {
            storedFileId = row.file_id;
            code = CHANGE_MODIFIED_BOTH;
        }
        // While a refused walk stands, a file here that differs from its
        // row may not be the item the row recorded (the folder was lost and
        // filled anew): it does not replace the drive's content, both stay.
        if (m_walkRefused && (code & CHANGE_MODIFIED_LOCAL) != 0) code = CHANGE_MODIFIED_BOTH;
    }
    LogChangeCode(code, path);
    return code;
}

FileInfoList::iterator CFileSyncThread::FindRemoteEntry(FileInfoList& listing, const wchar_t* name, bool isFolder) {
    for (auto it = listing.begin(); it != listing.end(); ++it) {
        if ((!IsFileType(it->type.c_str())) == isFolder && _wcsicmp(it->name.c_str(), name) == 0) return it;
    }
    return listing.end();
}
