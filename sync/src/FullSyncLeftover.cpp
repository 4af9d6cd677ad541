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
    LeftoverEntryFacts facts;
    facts.folderPath = folderPath;
    facts.entry = entry;
    facts.joined = JoinRemoteName(folderPath, entry.name.c_str(), facts.path);
    facts.moving = m_pass != nullptr && m_pass->movingIds.count(entry.id) != 0;
    if (NeedsStatusOfLeftover(facts)) {
        ChangeRecordList recorded;
        facts.statusRead = Storage().GetFileStatus(entry.id, facts.status, recorded);
        if (SUCCEEDED(facts.statusRead)) facts.renamePending = IsRenamePending(recorded, entry.id, nullptr);
    }
    if (NeedsRowOfLeftover(facts)) facts.rowFound = Storage().GetFile(entry.id, facts.row);
    if (NeedsPlaceOfLeftover(facts)) facts.pathExists = ::PathFileExistsW(facts.path.c_str()) != FALSE;
    return ExecuteOwnPlan(PlanLeftoverEntry(facts));
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
