#include <shlwapi.h>

#include <cstring>
#include <cwchar>

#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/SyncManager.h"
#include "BrelioSync/WalkPlan.h"

namespace {

bool IsContentAsRecorded(const FileInfo& entry, const FileRecord& row) {
    return entry.revision == row.revision && _stricmp(entry.hash.c_str(), row.hash.c_str()) == 0;
}

// Every item below the remote folder has a row of the same place, revision
// (and hash): nothing was added, changed or moved in there since the last
// sync. A folder's own revision does not move when its content changes, so
// its content is looked at item by item.
bool IsRemoteSubtreeAsRecorded(CLocalStorage& storage, uint64_t folderId, const std::wstring& folderName) {
    RequestStatus status;
    FileInfoList listing;
    if (FAILED(GetFiles(status, folderId, listing, false))) return false;
    for (const FileInfo& entry : listing) {
        FileRecord row;
        if (storage.GetFile(entry.id, row) != S_OK || row.status != FILE_STATUS_SYNCED) return false;
        const std::wstring name = folderName + L"\\" + entry.name;
        if (_wcsicmp(row.name.c_str(), name.c_str()) != 0) return false;
        if (IsFileType(entry.type.c_str())) {
            if (!IsContentAsRecorded(entry, row)) return false;
        } else if (!IsRemoteSubtreeAsRecorded(storage, entry.id, name)) {
            return false;
        }
    }
    return true;
}

}  // namespace

HRESULT CFileSyncThread::SyncRemoteLeftover(const wchar_t* folderPath, const FileInfo& entry) {
    const bool isFolder = !IsFileType(entry.type.c_str());
    std::wstring path;
    HRESULT hr = JoinRemoteName(folderPath, entry.name.c_str(), path);
    if (FAILED(hr)) {
        const std::wstring shown = std::wstring(folderPath) + L"\\" + entry.name;
        return ReportSkipped(shown.c_str(), isFolder, hr, L"remote name not usable here");
    }
    // On its way to the place it was moved to here.
    if (m_pass != nullptr && m_pass->movingIds.count(entry.id)) return S_OK;
    int status = FILE_STATUS_NONE;
    ChangeRecordList recorded;
    hr = Storage().GetFileStatus(entry.id, status, recorded);
    if (FAILED(hr)) return hr;
    switch (status) {
    case FILE_STATUS_CHANGED: {
        if (IsRenamePending(recorded, entry.id, nullptr)) return ReportSkipped(path.c_str(), isFolder, S_FALSE, L"local rename pending");
        // Changed here, elsewhere than the drive has it now: the remote move
        // is followed keeping the edit; changed here and then deleted here,
        // the edit went with the item and it is a deletion like any other.
        FileRecord row;
        if (Storage().GetFile(entry.id, row) == S_OK) return RemoveRemoteLeftover(path.c_str(), entry, row);
        [[fallthrough]];
    }
    case FILE_STATUS_NONE:
        // The old item of a move sent as a copy by a run cut short (no row
        // has its id since the copy took it over): the move's record
        // finishes it; brought back here, it would stand on both sides twice.
        if (IsRenamePending(recorded, entry.id, nullptr)) return ReportSkipped(path.c_str(), isFolder, S_FALSE, L"local move pending");
        // Something of that name appeared here during the walk: it is
        // compared on the next pass instead of being overwritten now.
        if (::PathFileExistsW(path.c_str()))
            return ReportSkipped(path.c_str(), isFolder, HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS), L"local item in the way");
        if (isFolder) return CreateLocalFolder(entry, path.c_str(), true);
        return Download(entry, path.c_str(), true, false);
    case FILE_STATUS_SYNCED: {
        FileRecord row;
        hr = Storage().GetFile(entry.id, row);
        if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
        return RemoveRemoteLeftover(path.c_str(), entry, row);
    }
    case FILE_STATUS_RETRANSFER:
        return Download(entry, path.c_str(), false, false);
    case FILE_STATUS_LOCAL_FAILED:
        NotifyResult(entry.name.c_str(), isFolder, E_FAIL);
        return E_FAIL;
    default:
        return S_OK;
    }
}

HRESULT CFileSyncThread::RemoveRemoteLeftover(const wchar_t* path, const FileInfo& entry, const FileRecord& row) {
    // What the rule looks at, each look-up only when it gets to it.
    LeftoverFacts facts;
    facts.path = path;
    facts.entry = entry;
    facts.row = row;
    facts.rowPath = RootJoin(row.name);
    facts.rowPathExists = !facts.rowPath.empty() && ::PathFileExistsW(facts.rowPath.c_str()) != FALSE;
    if (NeedsRenameCheck(facts)) {
        facts.renamePending = IsRenamePending(entry.id, row.name.c_str());
        facts.deletedHere = IsMissingItemDeleted();
        if (NeedsSubtreeCheck(facts)) {
            CLocalStorage storage = Storage();
            facts.subtreeAsRecorded = IsRemoteSubtreeAsRecorded(storage, entry.id, row.name);
        }
        if (IsMovedThere(facts)) {
            const std::wstring folder(path, static_cast<size_t>(::PathFindFileNameW(path) - path));
            facts.folderPresent = ::PathIsDirectoryW(folder.c_str()) != FALSE;
        }
    }
    return ExecuteOwnPlan(PlanRemoteLeftover(facts));
}
