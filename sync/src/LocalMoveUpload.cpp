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
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/LocalChangePlan.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/RemoteLookups.h"
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
                                          bool isFolder, PassContext& pass) {
    uint64_t parentId = kUnknownParentId;
    HRESULT hr = Storage().GetParentFileId(fullPath, parentId);
    if (FAILED(hr)) return hr;
    if (hr == S_FALSE || parentId == kUnknownParentId)
        return ReportSkipped(fullPath, isFolder, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), L"parent folder not synced yet");
    // The old item's row, with the content recorded for it. When no row has
    // its id any more, a run that sent this move was cut short (a kill, a
    // crash, a failed trash) after the copy, or part of it, went up and
    // took the row of the new place over: the move goes on from there.
    FileRecord row;
    hr = Storage().GetFile(oldId, row);
    if (FAILED(hr)) return hr;
    bool known = hr == S_OK;
    bool resumed = false;
    if (!known) {
        hr = Storage().GetFile(fullPath, row);
        if (FAILED(hr)) return hr;
        known = resumed = hr == S_OK;
    }
    if (isFolder && !resumed) {
        // Where the new place stands on the drive now, before anything
        // goes up into it.
        ChangeInfo folderMeta;
        bool loops = false;
        hr = FindMoveLoop(oldId, fullPath, folderMeta, loops);
        if (FAILED(hr)) return ReportSkipped(fullPath, true, hr, L"remote state unknown");
        if (loops) return UndoLoopingMove(folderMeta, fullPath);
    }
    Log(resumed ? L"%s - moved here from %s; its copy, cut short, goes on."
                : L"%s - moved here from %s; it goes up anew and the old item goes to the trash.",
        fullPath, oldRelativeName);
    pass.movingIds.insert(oldId);
    if (isFolder) {
        // What changed in the old folder on the drive comes into the moved
        // one first, so that nothing of it goes to the trash with the old
        // folder. (A copy cut short has rows of both trees below: the
        // copy settles those on its own.)
        if (!resumed) hr = FullSyncFolder(fullPath, oldId);
        if (SUCCEEDED(hr)) hr = CopyFolderUp(fullPath, parentId, oldId, pass);
    } else if (!resumed) {
        hr = UploadFile(parentId, fullPath, 0, RowWrite::Insert);
    }
    pass.movingIds.erase(oldId);
    if (FAILED(hr)) return hr;
    pass.replacedIds.insert(oldId);
    // Last, and only once the item stands at its new place.
    if (isFolder) return TrashOldFolder(oldId, oldRelativeName, fullPath, parentId, pass);
    RequestStatus status;
    ChangeInfo meta;
    hr = GetFileMeta(status, oldId, meta);
    if (hr == API_E_ITEM_NOT_FOUND || (SUCCEEDED(hr) && meta.changeType == "deleted")) return S_OK;
    // Changed on the drive meanwhile: that content is not the one that
    // went up, so the old item stays. The copy of a run cut short is the
    // newer item: an older old one is what went up, or an earlier state.
    const bool changedThere = FAILED(hr) || (known && _stricmp(meta.file.hash.c_str(), row.hash.c_str()) != 0 &&
                                             (!resumed || meta.file.revision > row.revision));
    if (changedThere) {
        Log(L"%s - changed on the drive meanwhile, kept there.", oldRelativeName);
        return S_OK;
    }
    return DeleteRemote(oldId, oldRelativeName, false);
}

HRESULT CFileSyncThread::CopyFolderUp(const wchar_t* folderPath, uint64_t parentId, uint64_t oldFolderId,
                                      PassContext& pass) {
    RequestStatus status;
    FileInfoList oldListing;
    HRESULT hr = GetFiles(status, oldFolderId, oldListing, false);
    if (FAILED(hr)) return hr;
    std::set<uint64_t> held;
    for (const FileInfo& entry : oldListing) {
        held.insert(entry.id);
        if (pass.movingIds.count(entry.id)) continue;
        // What the drive added or changed in the old folder comes here
        // first (a walk of the folder skips what waits for a rename).
        FileRecord row;
        const HRESULT found = Storage().GetFile(entry.id, row);
        if (FAILED(found)) return found;
        const bool isFolder = !IsFileType(entry.type.c_str());
        if (found == S_FALSE) {
            // The old item of a move of its own, sent as a copy that is not
            // finished: its own record settles it.
            if (IsRenamePending(entry.id, nullptr)) continue;
            std::wstring path;
            if (FAILED(JoinRemoteName(folderPath, entry.name.c_str(), path)) || ::PathFileExistsW(path.c_str())) continue;
            hr = isFolder ? CreateLocalFolderAndWalk(entry, path.c_str()) : Download(entry, path.c_str(), RowWrite::Insert);
            if (FAILED(hr)) return hr;
            continue;
        }
        const std::wstring rowPath = RootJoin(row.name);
        if (!isFolder && _stricmp(entry.hash.c_str(), row.hash.c_str()) != 0 && ::PathFileExistsW(rowPath.c_str())) {
            hr = FollowRemoteMove(entry, rowPath.c_str(), row);
            if (FAILED(hr)) return hr;
        }
    }

    uint64_t folderId = 0;
    FileInfoList copied;
    hr = PlaceFolderCopy(folderPath, parentId, oldFolderId, folderId, copied);
    if (FAILED(hr)) return hr;

    WIN32_FIND_DATAW data = {};
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
        const auto standing = FindRemoteEntry(copied, data.cFileName, isFolder);
        if (standing != copied.end() && known && row.file_id == standing->id) {
            // Went up before the run that sent the move was cut short; what
            // a folder of it holds may not have.
            if (isFolder) {
                const auto old = FindRemoteEntry(oldListing, data.cFileName, true);
                item = old != oldListing.end() ? CopyFolderUp(path.c_str(), folderId, old->id, pass)
                                               : FullSyncFolder(path.c_str(), standing->id);
            }
        } else if (standing != copied.end() && !isFolder && RecordIfSameContent(*standing, path.c_str()) == S_OK) {
            // Its upload went through just before the run was cut short,
            // before its row could be written.
            if (known) pass.replacedIds.insert(row.file_id);
        } else if (!known || held.count(row.file_id)) {
            // In the old folder on the drive (or new here): it goes up anew,
            // and the old one goes to the trash with the old folder.
            if (known) pass.replacedIds.insert(row.file_id);
            if (!isFolder) {
                item = UploadFile(folderId, path.c_str(), 0, RowWrite::Insert);
            } else if (known) {
                item = CopyFolderUp(path.c_str(), folderId, row.file_id, pass);
            } else {
                uint64_t childId = 0;
                item = CreateRemoteFolder(folderId, path.c_str(), data, childId);
                if (SUCCEEDED(item)) item = FullSyncFolder(path.c_str(), childId);
            }
        } else if (IsRemoteChangePending(pass.remoteChanges, row.file_id)) {
            // Moved elsewhere or trashed on the drive meanwhile: its own
            // change settles it.
            continue;
        } else {
            // Moved into this folder here before the folder itself moved.
            item = MoveRemoteByCopy(row.file_id, row.name.c_str(), path.c_str(), isFolder, pass);
        }
        if (FAILED(item)) result = item;
    } while (::FindNextFileW(find.Get(), &data));
    return result;
}

HRESULT CFileSyncThread::PlaceFolderCopy(const wchar_t* folderPath, uint64_t parentId, uint64_t oldFolderId,
                                         uint64_t& folderId, FileInfoList& copied) {
    FileRecord row;
    HRESULT hr = Storage().GetFile(folderPath, row);
    if (FAILED(hr)) return hr;
    RequestStatus status;
    if (hr == S_OK && row.file_id != oldFolderId) {
        // Made by a run cut short: its row names it already.
        folderId = row.file_id;
        return GetFiles(status, folderId, copied, false);
    }
    WIN32_FIND_DATAW data = {};
    if (!brelio::UniqueFindHandle(::FindFirstFileW(folderPath, &data))) return HRESULT_FROM_WIN32(::GetLastError());
    hr = CreateRemoteFolder(parentId, folderPath, data, folderId);
    if (FAILED(hr)) return hr;
    if (folderId != oldFolderId) return S_OK;
    // The name is taken at the new place, and the row still names the old
    // folder: a run cut short made the copy there before it could record
    // it. The drive's listing names it; the old folder itself is never the
    // copy.
    FileInfoList siblings;
    hr = GetFiles(status, parentId, siblings, true);
    if (FAILED(hr)) return hr;
    const auto made = FindRemoteEntry(siblings, data.cFileName, true);
    if (made == siblings.end() || made->id == oldFolderId)
        return ReportSkipped(folderPath, true, HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS), L"the new place holds the old folder");
    hr = Storage().InsertFile(*made, folderPath, 0, FileTimeToTicks(data.ftLastWriteTime), FILE_STATUS_SYNCED);
    if (FAILED(hr)) return hr;
    folderId = made->id;
    return GetFiles(status, folderId, copied, false);
}

HRESULT CFileSyncThread::ResumeMoveByCopy(const ChangeRecord& record, const wchar_t* fullPath, PassContext& pass) {
    ResumeMoveFacts facts;
    facts.record = record;
    facts.fullPath = fullPath;
    facts.rowFound = Storage().GetFile(fullPath, facts.row);
    if (NeedsOldItemOfMove(facts)) {
        RequestStatus status;
        facts.metaResult = GetFileMeta(status, record.file_id, facts.meta);
        facts.localIsFolder = ::PathIsDirectoryW(fullPath) != FALSE;
    }
    return ExecutePlan(PlanResumeMoveByCopy(facts), pass);
}
