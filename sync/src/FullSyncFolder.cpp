#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/IgnoreList.h"
#include "BrelioSync/StopMarker.h"
#include "BrelioSync/SyncManager.h"

namespace {

bool IsDotEntry(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

}  // namespace

HRESULT CFileSyncThread::FullSyncFolder(const wchar_t* folderPath, uint64_t folderId) {
    RequestStatus status;
    FileInfoList listing;
    HRESULT result = GetFiles(status, folderId, listing, false);
    if (FAILED(result)) {
        Log(L"Failed to get remote files(0x%x).", static_cast<unsigned>(result));
        NotifyResult(folderPath, true, result);
        return result;
    }
    std::wstring pattern;
    if (!JoinName(folderPath, L"*.*", pattern)) {
        m_passIncomplete = true;
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    WIN32_FIND_DATAW data = {};
    brelio::UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
    if (!find) {
        m_passIncomplete = true;
        return HRESULT_FROM_WIN32(::GetLastError());
    }

    do {
        if (CheckStop()) break;
        if (IsEngineOwnFile(data.cFileName)) continue;
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && IsDotEntry(data.cFileName)) continue;
        std::wstring path;
        if (!JoinName(folderPath, data.cFileName, path)) {
            // Never synced while its path is this long: the user is told.
            const std::wstring shown = std::wstring(folderPath) + L"\\" + data.cFileName;
            Log(L"%s - path too long.", shown.c_str());
            // A failed item: the pass did not bring everything into agreement.
            NotifyResult(shown.c_str(), isFolder, HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
            continue;
        }
        result = isFolder ? SyncLocalFolder(path.c_str(), data, folderId, listing)
                          : SyncLocalFile(path.c_str(), data, folderId, listing);
        if (FAILED(result)) m_passIncomplete = true;
    } while (::FindNextFileW(find.Get(), &data));
    // The search ends before the remote entries are settled: they may add
    // items to this folder.
    find.Reset();

    if (CheckStop()) return S_OK;
    for (size_t i = 0; i < listing.size(); ++i) {
        if (CheckStop()) return S_OK;
        const FileInfo& entry = listing[i];
        // Two names that differ only in letter case are one name here.
        std::wstring path;
        if (SUCCEEDED(JoinRemoteName(folderPath, entry.name.c_str(), path)) && IsNameTakenFrom(path.c_str(), entry)) {
            result = RefuseTakenName(path.c_str(), !IsFileType(entry.type.c_str()));
            continue;
        }
        result = SyncRemoteLeftover(folderPath, entry);
        if (FAILED(result)) m_passIncomplete = true;
    }
    return result;
}

HRESULT CFileSyncThread::SyncLocalFolder(const wchar_t* path, const WIN32_FIND_DATAW& data, uint64_t folderId,
                                         FileInfoList& listing) {
    const auto found = FindEntryOfLocalItem(listing, path, data.cFileName, true);
    if (found != listing.end()) {
        const FileInfo entry = *found;
        listing.erase(found);
        // Unrecorded, the folder is not in agreement: a failed item, and
        // not walked into, as after any failed folder action.
        const HRESULT recorded = Storage().InsertFile(entry, path, 0, SystemTimeTicks(), FILE_STATUS_SYNCED);
        if (FAILED(recorded)) {
            NotifyResult(path, true, recorded);
            return recorded;
        }
        return FullSyncFolder(path, entry.id);
    }
    int status = FILE_STATUS_NONE;
    HRESULT hr = Storage().GetFileStatus(path, status);
    if (FAILED(hr)) return hr;
    switch (status) {
    case FILE_STATUS_CHANGED:
        // A folder renamed locally: the partial sync renames it remotely.
        // Creating it anew here would leave its old rows to be deleted.
        if (IsRenamePending(0, Relative(path))) return ReportSkipped(path, true, S_FALSE, L"local rename pending");
        [[fallthrough]];
    case FILE_STATUS_NONE:
    case FILE_STATUS_RETRANSFER: {
        uint64_t childId = 0;
        hr = CreateRemoteFolder(folderId, path, data, childId);
        if (FAILED(hr)) return hr;
        return FullSyncFolder(path, childId);
    }
    case FILE_STATUS_SYNCED:
        return DeleteLocalFolderChecked(path, data, folderId);
    default:
        return S_OK;
    }
}

HRESULT CFileSyncThread::SyncLocalFile(const wchar_t* path, const WIN32_FIND_DATAW& data, uint64_t folderId,
                                       FileInfoList& listing) {
    const auto found = FindEntryOfLocalItem(listing, path, data.cFileName, false);
    if (found == listing.end()) {
        int status = FILE_STATUS_NONE;
        const HRESULT hr = Storage().GetFileStatus(path, status);
        if (FAILED(hr)) return hr;
        switch (status) {
        case FILE_STATUS_CHANGED:
            // A file renamed or moved here: its rename sends it, with its id.
            // Uploading it anew here would leave the old item behind.
            if (IsRenamePending(0, Relative(path))) return ReportSkipped(path, false, S_FALSE, L"local rename pending");
            return UploadChangedUnlisted(path, folderId);
        case FILE_STATUS_NONE:
            return UploadFile(folderId, path, 0, true, false);
        case FILE_STATUS_SYNCED:
            return DeleteLocalFileChecked(path, data, folderId);
        case FILE_STATUS_RETRANSFER:
            return UploadFile(folderId, path, 0, false, true);
        default:
            return S_OK;
        }
    }
    const FileInfo entry = *found;
    listing.erase(found);
    uint64_t storedRevision = 0;
    uint64_t storedFileId = entry.id;
    const uint32_t code = CompareWithRemote(path, data, entry, storedRevision, storedFileId);
    switch (code) {
    case CHANGE_MODIFIED_LOCAL:
        return UploadFile(entry.id, path, storedRevision, false, false);
    case CHANGE_MODIFIED_REMOTE:
        return Download(entry, path, false, false);
    case CHANGE_MODIFIED_BOTH:
    case CHANGE_NO_STORAGE_ROW:
        // Both contents survive: the local one as a copy beside it, sent up
        // as a new file; the remote one under the name.
        return ResolveBothModified(entry, path, code == CHANGE_NO_STORAGE_ROW || storedFileId != entry.id);
    default:
        return S_OK;
    }
}
