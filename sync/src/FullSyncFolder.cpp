#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/IgnoreList.h"
#include "BrelioSync/StopMarker.h"
#include "BrelioSync/SyncAction.h"
#include "BrelioSync/SyncManager.h"
#include "BrelioSync/WalkPlan.h"

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
    WalkItemFacts facts;
    facts.path = path;
    facts.isFolder = true;
    facts.local = data;
    facts.folderId = folderId;
    const auto found = FindEntryOfLocalItem(listing, path, data.cFileName, true);
    if (found != listing.end()) {
        facts.listed = true;
        facts.entry = *found;
        listing.erase(found);
    } else {
        GatherUnlistedItem(facts);
    }
    return ExecuteOwnPlan(PlanWalkItem(facts));
}

HRESULT CFileSyncThread::SyncLocalFile(const wchar_t* path, const WIN32_FIND_DATAW& data, uint64_t folderId,
                                       FileInfoList& listing) {
    WalkItemFacts facts;
    facts.path = path;
    facts.local = data;
    facts.folderId = folderId;
    const auto found = FindEntryOfLocalItem(listing, path, data.cFileName, false);
    if (found != listing.end()) {
        facts.listed = true;
        facts.entry = *found;
        listing.erase(found);
        facts.storedFileId = facts.entry.id;
        facts.change = CompareWithRemote(path, data, facts.entry, facts.storedRevision, facts.storedFileId);
    } else {
        GatherUnlistedItem(facts);
    }
    return ExecuteOwnPlan(PlanWalkItem(facts));
}

void CFileSyncThread::GatherUnlistedItem(WalkItemFacts& facts) {
    facts.statusRead = Storage().GetFileStatus(facts.path.c_str(), facts.status);
    if (NeedsRenameCheckOfWalkItem(facts)) facts.renamePending = IsRenamePending(0, Relative(facts.path.c_str()));
}
