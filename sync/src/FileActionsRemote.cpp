#include <shlwapi.h>

#include "BrelioCore/TextConvert.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/SyncManager.h"

HRESULT CFileSyncThread::DeleteRemote(uint64_t fileId, const wchar_t* relativeName, bool isFolder) {
    RequestStatus status;
    HRESULT hr = TrashFile(status, fileId);
    // Gone already (trashed by an earlier run that stopped before it could
    // record it): what the deletion asked for holds.
    if (hr == API_E_ITEM_NOT_FOUND) hr = S_OK;
    if (SUCCEEDED(hr)) hr = Storage().SetFileStatus(fileId, isFolder, FILE_STATUS_DELETE);
    const std::wstring path = RootJoin(relativeName);
    if (FAILED(hr))
        Log(L"%s(remote) - failed to delete(0x%x).", path.c_str(), static_cast<unsigned>(hr));
    else
        Log(L"%s(remote) - deleted.", path.c_str());
    NotifyResult(path.c_str(), isFolder, hr);
    return hr;
}

HRESULT CFileSyncThread::DeleteRemoteEntry(const FileInfo& info, const wchar_t* relativeName) {
    return DeleteRemote(info.id, relativeName, !IsFileType(info.type.c_str()));
}

HRESULT CFileSyncThread::RenameRemote(uint64_t fileId, const wchar_t* newRelativeName,
                                      const wchar_t* oldRelativeName) {
    const std::wstring newPath = RootJoin(newRelativeName);
    const std::wstring oldPath = RootJoin(oldRelativeName);
    const bool isFolder = ::PathIsDirectoryW(newPath.c_str()) != FALSE;
    RequestStatus status;
    FileInfo renamed;
    HRESULT hr = RenameFile(status, fileId, ::PathFindFileNameW(newRelativeName), renamed);
    if (SUCCEEDED(hr))
        hr = Storage().SetFileName(renamed.id, oldPath.c_str(), newPath.c_str(), renamed.hash, renamed.revision);
    if (FAILED(hr))
        Log(L"%s(remote) - failed to rename(0x%x).", newRelativeName, static_cast<unsigned>(hr));
    else
        Log(L"%s(remote) - renamed.", newRelativeName);
    NotifyResult(newPath.c_str(), isFolder, hr);
    return hr;
}

HRESULT CFileSyncThread::CreateRemoteFolderForPath(const wchar_t* path, uint64_t& folderId) {
    WIN32_FIND_DATAW data = {};
    brelio::CopyTerminated(data.cFileName, ARRAYSIZE(data.cFileName), ::PathFindFileNameW(Relative(path)));
    uint64_t parentId = kUnknownParentId;
    const HRESULT found = Storage().GetParentFileId(path, parentId);
    if (FAILED(found)) return found;
    // An unknown parent is not the drive root: the folder waits for its
    // parent instead of appearing at the top of the drive.
    if (found == S_FALSE || parentId == kUnknownParentId)
        return ReportSkipped(path, true, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), L"parent folder not synced yet");
    return CreateRemoteFolder(parentId, path, data, folderId);
}

HRESULT CFileSyncThread::CreateRemoteFolder(uint64_t parentId, const wchar_t* path, const WIN32_FIND_DATAW& data,
                                            uint64_t& folderId) {
    RequestStatus status;
    FileInfo created;
    HRESULT hr = CreateFolder(status, parentId, data.cFileName, created);
    if (SUCCEEDED(hr)) {
        hr = Storage().InsertFile(created, path, 0, FileTimeToTicks(data.ftLastWriteTime), FILE_STATUS_SYNCED);
        if (SUCCEEDED(hr)) folderId = created.id;
    } else if (hr == API_E_NAME_EXISTS) {
        FileRecord row;
        if (Storage().GetFile(path, row) == S_OK) {
            folderId = row.file_id;
            hr = S_OK;
        } else {
            hr = E_FAIL;
        }
    }
    NotifyResult(path, true, hr);
    return hr;
}

HRESULT CFileSyncThread::CreateRemoteFolderInAndWalk(const wchar_t* path, const WIN32_FIND_DATAW& data,
                                                     uint64_t parentId) {
    if (parentId == kUnknownParentId)
        return ReportSkipped(path, true, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), L"parent folder not synced yet");
    uint64_t childId = 0;
    const HRESULT hr = CreateRemoteFolder(parentId, path, data, childId);
    if (FAILED(hr)) return hr;
    // A folder made anew keeps the rows of the trashed items beneath it:
    // each item is settled on its own against them, changed ones going up
    // as new items, unchanged ones following the deletion.
    return FullSyncFolder(path, childId);
}
