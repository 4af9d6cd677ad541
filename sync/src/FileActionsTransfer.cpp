#include "BrelioServices/DriveApi.h"
#include "BrelioServices/FileTransfer.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/IgnoreScope.h"
#include "BrelioSync/LocalFileState.h"
#include "BrelioSync/SyncItem.h"
#include "BrelioSync/SyncManager.h"

HRESULT CFileSyncThread::UploadFile(uint64_t targetId, const wchar_t* path, uint64_t latestRevision,
                                    RowWrite rowWrite) {
    m_env.syncManager->PostItem(path, false, SYNC_ITEM_IN_PROGRESS);
    FileInfo info;
    uint64_t size = 0;
    FILETIME lastWrite = {};
    const HRESULT hr = ::UploadFile(targetId, path, latestRevision, info, size, lastWrite);
    return FinishTransfer(hr, info, path, size, lastWrite, rowWrite, L"%s - uploaded.",
                          L"%s - failed to upload(0x%x).");
}

HRESULT CFileSyncThread::FinishTransfer(HRESULT hr, const FileInfo& info, const wchar_t* path, uint64_t size,
                                        const FILETIME& lastWrite, RowWrite rowWrite, const wchar_t* doneLine,
                                        const wchar_t* failedLine) {
    if (SUCCEEDED(hr)) {
        CLocalStorage storage = Storage();
        hr = rowWrite == RowWrite::Insert
                 ? storage.InsertFile(info, path, size, FileTimeToTicks(lastWrite), FILE_STATUS_SYNCED)
                 : storage.UpdateFile(info, path, size, FileTimeToTicks(lastWrite), rowWrite == RowWrite::UpdateByName);
    }
    if (FAILED(hr))
        Log(failedLine, path, static_cast<unsigned>(hr));
    else
        Log(doneLine, path);
    NotifyResult(path, false, hr);
    return hr;
}

HRESULT CFileSyncThread::UploadChangedFile(uint64_t fileId, const wchar_t* path) {
    uint64_t parentId = kUnknownParentId;
    uint64_t revision = 0;
    HRESULT found = Storage().GetFile(fileId, path, parentId, revision);
    if (FAILED(found)) return E_FAIL;
    if (found == S_FALSE && fileId != 0) {
        // The item went up anew since the change was recorded (its old id
        // is gone): the row of its path stands for it now.
        FileRecord row;
        if (Storage().GetFile(path, row) == S_OK) {
            fileId = row.file_id;
            revision = row.revision;
            found = S_OK;
        }
    }
    if (found == S_FALSE) {
        // Without a row for the parent folder the item would land at the
        // top of the drive: wait until the folder itself is synced.
        if (parentId == kUnknownParentId)
            return ReportSkipped(path, false, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), L"parent folder not synced yet");
        return UploadFile(parentId, path, 0, RowWrite::Insert);
    }
    if (fileId == 0) return S_OK;
    if (IsUploadRecorded(fileId, path)) return S_OK;
    return UploadFile(fileId, path, revision, RowWrite::Update);
}

bool CFileSyncThread::IsUploadRecorded(uint64_t fileId, const wchar_t* path) {
    // A change carried out by an earlier pass that was cut off before it
    // could strike the change off: the row is in sync with the file as it
    // is, so sending it again would only make a new revision of the same
    // content.
    FileRecord row;
    if (Storage().GetFile(fileId, row) != S_OK || row.status != FILE_STATUS_SYNCED) return false;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return false;
    const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return FileTimeToTicks(data.ftLastWriteTime) == row.last_write_time && size == row.size;
}

HRESULT CFileSyncThread::Download(const FileInfo& info, const wchar_t* path, RowWrite rowWrite) {
    m_env.syncManager->PostItem(path, false, SYNC_ITEM_IN_PROGRESS);
    uint64_t size = 0;
    FILETIME lastWrite = {};
    // The path is masked from the monitor for the whole transfer, so a save
    // made meanwhile is never recorded: the file is looked at once more
    // before it is replaced, and an edited one is kept as a conflict copy.
    const LocalFileState classified = ReadLocalFileState(path);
    std::wstring copyPath;
    const auto keepEdited = [&]() -> HRESULT {
        const LocalFileState now = ReadLocalFileState(path);
        if (!now.exists || now == classified) return S_OK;
        Log(L"%s - changed here during the download.", path);
        return KeepConflictCopy(path, copyPath);
    };
    HRESULT hr;
    {
        // The content lands in a temporary file first, beside the target or,
        // in a folder too deep for its name, at the top of the sync folder:
        // that name is masked too.
        std::wstring temporary;
        if (SUCCEEDED(ChooseDownloadTempFolder(path, m_env.syncRoot.c_str(), temporary)))
            temporary += kDownloadTempPattern;
        CIgnoreScope scope(m_env.syncManager->GetIgnoreList(), m_env.syncRoot.c_str());
        if (temporary.empty())
            scope.Ignore(path);
        else
            scope.IgnorePair(path, temporary.c_str());
        hr = DownloadFile(info.id, path, size, lastWrite, m_env.syncRoot.c_str(), keepEdited);
        scope.ReleaseAfter(CIgnoreScope::kReleaseDelay);
    }
    hr = FinishTransfer(hr, info, path, size, lastWrite, rowWrite, L"%s - downloaded.",
                        L"%s - failed to download(0x%x).");
    // The download stands whatever becomes of the copy: a failed upload is
    // reported by the upload, and the copy, a file with no row, goes up
    // with the next walk.
    if (SUCCEEDED(hr) && !copyPath.empty()) (void)UploadChangedFile(0, copyPath.c_str());
    return hr;
}

HRESULT CFileSyncThread::DownloadById(uint64_t fileId, const wchar_t* path, bool insert) {
    RequestStatus status;
    ChangeInfo meta;
    const HRESULT hr = GetFileMeta(status, fileId, meta);
    if (FAILED(hr)) {
        Log(L"%s - failed to download(0x%x).", path, static_cast<unsigned>(hr));
        NotifyResult(path, false, hr);
        return hr;
    }
    return Download(meta.file, path, RowWriteOf(insert));
}
