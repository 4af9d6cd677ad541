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
#include "BrelioSync/MoveByCopyPlan.h"
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
    OldFileAfterCopyFacts old;
    old.oldId = oldId;
    old.oldName = oldRelativeName;
    old.known = known;
    old.resumed = resumed;
    old.row = row;
    RequestStatus status;
    old.metaResult = GetFileMeta(status, oldId, old.meta);
    return ExecutePlan(PlanOldFileAfterCopy(old), pass);
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
        OldFolderEntryFacts facts;
        facts.entry = entry;
        facts.isFolder = !IsFileType(entry.type.c_str());
        facts.moving = pass.movingIds.count(entry.id) != 0;
        if (!facts.moving) facts.rowFound = Storage().GetFile(entry.id, facts.row);
        if (!facts.moving && facts.rowFound == S_FALSE) facts.renamePending = IsRenamePending(entry.id, nullptr);
        if (NeedsPlaceOfOldEntry(facts)) {
            facts.joined = JoinRemoteName(folderPath, entry.name.c_str(), facts.path);
            facts.pathExists = SUCCEEDED(facts.joined) && ::PathFileExistsW(facts.path.c_str());
        }
        if (NeedsRowPlaceOfOldEntry(facts)) {
            facts.rowPath = RootJoin(facts.row.name);
            facts.rowPathExists = ::PathFileExistsW(facts.rowPath.c_str()) != FALSE;
        }
        hr = ExecutePlan(PlanOldFolderEntry(facts), pass);
        if (FAILED(hr)) return hr;
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
        CopiedItemFacts facts;
        if (!JoinName(folderPath, data.cFileName, facts.path)) continue;
        const wchar_t* path = facts.path.c_str();
        facts.isFolder = isFolder;
        facts.local = data;
        facts.folderId = folderId;
        facts.known = Storage().GetFile(path, facts.row) == S_OK;
        const auto standing = FindRemoteEntry(copied, data.cFileName, isFolder);
        facts.standing = standing != copied.end();
        if (facts.standing) facts.standingEntry = *standing;
        if (IsStandingCopyOfRow(facts) && isFolder) {
            const auto old = FindRemoteEntry(oldListing, data.cFileName, true);
            facts.oldFound = old != oldListing.end();
            if (facts.oldFound) facts.oldId = old->id;
        }
        if (NeedsContentOfCopiedItem(facts)) {
            uint64_t size = 0;
            facts.sameContent = HasSameContent(facts.standingEntry, path, size, facts.local.ftLastWriteTime);
            facts.local.nFileSizeHigh = static_cast<DWORD>(size >> 32);
            facts.local.nFileSizeLow = static_cast<DWORD>(size);
        }
        facts.heldInOld = facts.known && held.count(facts.row.file_id) != 0;
        facts.remoteChangePending = facts.known && IsRemoteChangePending(pass.remoteChanges, facts.row.file_id);
        const HRESULT item = ExecutePlan(PlanCopiedItem(facts), pass);
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
