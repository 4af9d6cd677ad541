// A local move between folders, sent to a drive that can only rename: the
// item goes up anew at its new place, and the old one goes to the trash
// once the new one stands. The drive's ids of the moved items change.
#include <shlwapi.h>

#include <cstring>
#include <cwchar>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/StopMarker.h"
#include "BrelioSync/SyncManager.h"

namespace {

bool IsDotEntry(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

bool IsRemoteChangePending(const ChangeInfoList* remoteChanges, uint64_t fileId) {
    if (remoteChanges == nullptr) return false;
    for (const ChangeInfo& change : *remoteChanges)
        if (change.file.id == fileId) return true;
    return false;
}

}  // namespace

HRESULT CFileSyncThread::MoveRemoteByCopy(uint64_t oldId, const wchar_t* oldRelativeName, const wchar_t* fullPath,
                                          bool isFolder) {
    uint64_t parentId = kUnknownParentId;
    HRESULT hr = Storage().GetParentFileId(fullPath, parentId);
    if (FAILED(hr)) return hr;
    if (hr == S_FALSE || parentId == kUnknownParentId)
        return ReportSkipped(fullPath, isFolder, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), L"parent folder not synced yet");
    Log(L"%s - moved here from %s; it goes up anew and the old item goes to the trash.", fullPath, oldRelativeName);
    FileRecord row;
    const bool known = Storage().GetFile(oldId, row) == S_OK;
    m_movingIds.insert(oldId);
    if (isFolder) {
        // What changed in the old folder on the drive comes into the moved
        // one first, so that nothing of it goes to the trash with the old
        // folder.
        hr = FullSyncFolder(fullPath, oldId);
        if (SUCCEEDED(hr)) hr = CopyFolderUp(fullPath, parentId, oldId);
    } else {
        hr = UploadFile(parentId, fullPath, 0, true, false);
    }
    m_movingIds.erase(oldId);
    if (FAILED(hr)) return hr;
    m_replacedIds.insert(oldId);
    if (!isFolder && known) {
        // Changed on the drive meanwhile: that content is not the one that
        // went up, so the old item stays.
        RequestStatus status;
        ChangeInfo meta;
        if (FAILED(GetFileMeta(status, oldId, meta)) || _stricmp(meta.file.hash.c_str(), row.hash.c_str()) != 0) {
            Log(L"%s - changed on the drive meanwhile, kept there.", oldRelativeName);
            return S_OK;
        }
    }
    // Last, and only once the item stands at its new place.
    return DeleteRemote(oldId, oldRelativeName, isFolder);
}

HRESULT CFileSyncThread::CopyFolderUp(const wchar_t* folderPath, uint64_t parentId, uint64_t oldFolderId) {
    RequestStatus status;
    FileInfoList oldListing;
    HRESULT hr = GetFiles(status, oldFolderId, oldListing, false);
    if (FAILED(hr)) return hr;
    std::set<uint64_t> held;
    for (const FileInfo& entry : oldListing) {
        held.insert(entry.id);
        if (m_movingIds.count(entry.id)) continue;
        // What the drive added or changed in the old folder comes here
        // first (a walk of the folder skips what waits for a rename).
        FileRecord row;
        const HRESULT found = Storage().GetFile(entry.id, row);
        if (FAILED(found)) return found;
        const bool isFolder = !IsFileType(entry.type.c_str());
        if (found == S_FALSE) {
            std::wstring path;
            if (FAILED(JoinRemoteName(folderPath, entry.name.c_str(), path)) || ::PathFileExistsW(path.c_str())) continue;
            hr = isFolder ? CreateLocalFolder(entry, path.c_str(), true) : Download(entry, path.c_str(), true, false);
            if (FAILED(hr)) return hr;
            continue;
        }
        const std::wstring rowPath = RootJoin(row.name);
        if (!isFolder && _stricmp(entry.hash.c_str(), row.hash.c_str()) != 0 && ::PathFileExistsW(rowPath.c_str())) {
            hr = FollowRemoteMove(entry, rowPath.c_str(), row);
            if (FAILED(hr)) return hr;
        }
    }

    WIN32_FIND_DATAW data = {};
    if (!brelio::UniqueFindHandle(::FindFirstFileW(folderPath, &data))) return HRESULT_FROM_WIN32(::GetLastError());
    uint64_t folderId = 0;
    hr = CreateRemoteFolder(parentId, folderPath, data, folderId);
    if (FAILED(hr)) return hr;

    std::wstring pattern;
    if (!JoinName(folderPath, L"*.*", pattern)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    const brelio::UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
    if (!find) return S_OK;
    HRESULT result = S_OK;
    do {
        // Cut short, the copy is not whole: the old folder must stay.
        if (CheckStop()) {
            result = E_ABORT;
            break;
        }
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (IsStopMarker(data.cFileName) || (isFolder && IsDotEntry(data.cFileName))) continue;
        std::wstring path;
        if (!JoinName(folderPath, data.cFileName, path)) continue;
        FileRecord row;
        const bool known = Storage().GetFile(path.c_str(), row) == S_OK;
        HRESULT item = S_OK;
        if (!known || held.count(row.file_id)) {
            // In the old folder on the drive (or new here): it goes up anew,
            // and the old one goes to the trash with the old folder.
            if (known) m_replacedIds.insert(row.file_id);
            if (!isFolder) {
                item = UploadFile(folderId, path.c_str(), 0, true, false);
            } else if (known) {
                item = CopyFolderUp(path.c_str(), folderId, row.file_id);
            } else {
                uint64_t childId = 0;
                item = CreateRemoteFolder(folderId, path.c_str(), data, childId);
                if (SUCCEEDED(item)) item = FullSyncFolder(path.c_str(), childId);
            }
        } else if (IsRemoteChangePending(m_remoteChanges, row.file_id)) {
            // Moved elsewhere or trashed on the drive meanwhile: its own
            // change settles it.
            continue;
        } else {
            // Moved into this folder here before the folder itself moved.
            item = MoveRemoteByCopy(row.file_id, row.name.c_str(), path.c_str(), isFolder);
        }
        if (FAILED(item)) result = item;
    } while (::FindNextFileW(find.Get(), &data));
    return result;
}
