// The model's full walk: the facts of each of the walk's decisions gathered
// from the model as the engine gathers them (FullSyncFolder, the deletion
// checks, the leftover entries), and the walk's own planners run on them.
#include <algorithm>

#include "BrelioServices/RestFrame.h"
#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/LocalChangePlan.h"
#include "BrelioSync/RemoteChangePlan.h"
#include "BrelioSync/RemoteLookups.h"
#include "BrelioSync/WalkPlan.h"
#include "PlanModel.h"
#include "PlanText.h"

namespace plan_model {

ChangeRecordList ModelRun::PendingChanges() const {
    ChangeRecordList pending = m_pending;
    if (m_current == nullptr) return pending;
    const std::vector<int64_t>& carried = m_current->row_ids;
    std::erase_if(pending, [&](const ChangeRecord& change) {
        return !change.row_ids.empty() &&
               std::find(carried.begin(), carried.end(), change.row_ids.front()) != carried.end();
    });
    return pending;
}

bool ModelRun::IsRenamePending(uint64_t fileId, const std::wstring& name) const {
    for (const ChangeRecord& change : PendingChanges()) {
        if (change.action != CHANGE_ACTION_RENAMED) continue;
        if (fileId != 0 && change.file_id == fileId) return true;
        if (!name.empty() && (IsSameOrBelow(name, change.old_name) || IsSameOrBelow(name, change.name)))
            return true;
    }
    return false;
}

bool ModelRun::IsMoveIntoPending(const std::wstring& folder) const {
    for (const ChangeRecord& change : PendingChanges())
        if (change.action == CHANGE_ACTION_RENAMED && change.name.size() > folder.size() &&
            IsSameOrBelow(change.name, folder) && !IsSameOrBelow(change.old_name, folder))
            return true;
    return false;
}

HRESULT ModelRun::RowAt(const std::wstring& name, FileRecord& row) const {
    uint64_t id = 0;
    if (RowByName(name, id) == nullptr) return S_FALSE;
    row = Row(id);
    return S_OK;
}

bool ModelRun::ExistsHere(const std::wstring& name) const {
    return m_model.local.count(name) != 0 || m_model.folders.count(name) != 0;
}

std::vector<ModelRun::LocalEntry> ModelRun::LocalItemsIn(const std::wstring& folder) const {
    std::vector<LocalEntry> items;
    for (const std::wstring& held : m_model.folders)
        if (!held.empty() && FolderOfRowName(held) == folder) items.push_back({held, true});
    for (const auto& [file, content] : m_model.local)
        if (FolderOfRowName(file) == folder) items.push_back({file, false});
    std::sort(items.begin(), items.end(), [](const LocalEntry& a, const LocalEntry& b) { return a.name < b.name; });
    return items;
}

WIN32_FIND_DATAW ModelRun::FoundHere(const LocalEntry& item) const {
    WIN32_FIND_DATAW data = {};
    const std::wstring leaf = LeafOfRowName(item.name);
    wcsncpy(data.cFileName, leaf.c_str(), MAX_PATH - 1);
    if (item.folder) {
        data.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
        return data;
    }
    const std::string& content = m_model.local.at(item.name);
    data.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    data.ftLastWriteTime = TicksToFileTime(StampOf(content));
    data.nFileSizeLow = static_cast<DWORD>(content.size());
    return data;
}

HRESULT ModelRun::Listing(uint64_t folderId, FileInfoList& listing) const {
    const auto folder = m_model.drive.find(folderId);
    if (folder == m_model.drive.end() || folder->second.trashed || !folder->second.folder)
        return API_E_ITEM_NOT_FOUND;
    for (const auto& [id, item] : m_model.drive)
        if (id != folderId && !item.trashed && FolderOfRowName(item.name) == folder->second.name)
            listing.push_back(InfoOf(id, item));
    return S_OK;
}

bool ModelRun::IsSubtreeAsRecorded(uint64_t folderId, const std::wstring& folderName) const {
    FileInfoList listing;
    if (FAILED(Listing(folderId, listing))) return false;
    for (const FileInfo& entry : listing) {
        const auto row = m_model.rows.find(entry.id);
        if (row == m_model.rows.end() || row->second.status != FILE_STATUS_SYNCED) return false;
        const std::wstring name = folderName + L"\\" + entry.name;
        if (_wcsicmp(row->second.name.c_str(), name.c_str()) != 0) return false;
        if (IsFileType(entry.type.c_str())) {
            if (entry.revision != row->second.revision || entry.hash != row->second.hash) return false;
        } else if (!IsSubtreeAsRecorded(entry.id, name)) {
            return false;
        }
    }
    return true;
}

bool ModelRun::IsRowFileChanged(const FileRecord& row, const WIN32_FIND_DATAW& data) {
    const FILETIME stored = TicksToFileTime(row.last_write_time);
    return row.status != FILE_STATUS_SYNCED || ::CompareFileTime(&stored, &data.ftLastWriteTime) != 0 ||
           FindDataSize(data) != row.size;
}

bool ModelRun::HasLocalChangesBelow(const std::wstring& folder) const {
    if (!m_model.folders.count(folder)) return true;
    for (const LocalEntry& item : LocalItemsIn(folder)) {
        FileRecord row;
        if (RowAt(item.name, row) != S_OK) return true;
        if (item.folder ? row.status != FILE_STATUS_SYNCED || HasLocalChangesBelow(item.name)
                        : IsRowFileChanged(row, FoundHere(item)))
            return true;
    }
    return false;
}

HRESULT ModelRun::Walk(const std::wstring& name, uint64_t folderId) {
    FileInfoList listing;
    HRESULT result = Listing(folderId, listing);
    if (FAILED(result)) return result;
    if (!m_model.folders.count(name)) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    for (const LocalEntry& item : LocalItemsIn(name)) {
        // Gone since the search began, by an action on an item before it.
        if (!ExistsHere(item.name)) continue;
        result = Execute(PlanWalkItem(WalkItemFactsOf(item, folderId, listing)));
    }
    for (const FileInfo& entry : listing) {
        const std::wstring place = name.empty() ? entry.name : name + L"\\" + entry.name;
        if (IsNameTakenHere(place, entry)) {
            ActionPlan refusal;
            AddTakenNameRefusal(refusal, Full(place), !IsFileType(entry.type.c_str()));
            result = Execute(refusal);
            continue;
        }
        result = Execute(PlanLeftoverEntry(LeftoverEntryFactsOf(name, place, entry)));
    }
    return result;
}

WalkItemFacts ModelRun::WalkItemFactsOf(const LocalEntry& item, uint64_t folderId, FileInfoList& listing) const {
    WalkItemFacts facts;
    facts.path = Full(item.name);
    facts.isFolder = item.folder;
    facts.local = FoundHere(item);
    facts.folderId = folderId;
    FileRecord row;
    const HRESULT rowFound = RowAt(item.name, row);
    const size_t entry =
        EntryOfLocalItem(listing, facts.local.cFileName, item.folder, rowFound == S_OK ? row.file_id : 0);
    if (entry < listing.size()) {
        facts.listed = true;
        facts.entry = listing[entry];
        listing.erase(listing.begin() + static_cast<std::ptrdiff_t>(entry));
        if (item.folder) return facts;
        CompareFacts compare;
        compare.rowFound = rowFound;
        compare.row = row;
        compare.localWrite = facts.local.ftLastWriteTime;
        compare.localSize = FindDataSize(facts.local);
        compare.entry = facts.entry;
        facts.storedFileId = facts.entry.id;
        facts.change = CompareFileWithEntry(compare, facts.storedRevision, facts.storedFileId);
        return facts;
    }
    facts.status = rowFound == S_OK ? row.status : FILE_STATUS_NONE;
    if (NeedsRenameCheckOfWalkItem(facts)) facts.renamePending = IsRenamePending(0, item.name);
    return facts;
}

bool ModelRun::IsNameTakenHere(const std::wstring& place, const FileInfo& entry) const {
    LocalNameFacts local;
    local.present = ExistsHere(place);
    local.isFolder = m_model.folders.count(place) != 0;
    FileRecord row;
    local.rowFound = RowAt(place, row);
    local.rowId = row.file_id;
    return IsNameTaken(local, entry);
}

LeftoverEntryFacts ModelRun::LeftoverEntryFactsOf(const std::wstring& folder, const std::wstring& place,
                                                  const FileInfo& entry) const {
    LeftoverEntryFacts facts;
    facts.folderPath = Full(folder);
    facts.entry = entry;
    facts.path = Full(place);
    facts.moving = m_pass.movingIds.count(entry.id) != 0;
    if (NeedsStatusOfLeftover(facts)) {
        const auto row = m_model.rows.find(entry.id);
        facts.status = row != m_model.rows.end() ? row->second.status : FILE_STATUS_NONE;
        // The change table is read only for an item not in sync.
        if (facts.status != FILE_STATUS_SYNCED) facts.renamePending = IsRenamePending(entry.id, L"");
    }
    if (NeedsRowOfLeftover(facts)) facts.rowFound = RowFound(entry.id, facts.row);
    if (NeedsPlaceOfLeftover(facts)) facts.pathExists = ExistsHere(place);
    return facts;
}

HRESULT ModelRun::RemoveLeftover(const std::wstring& name, const FileInfo& entry, const FileRecord& row) {
    LeftoverFacts facts;
    facts.path = Full(name);
    facts.entry = entry;
    facts.row = row;
    facts.rowPath = Full(row.name);
    facts.rowPathExists = ExistsHere(row.name);
    if (NeedsRenameCheck(facts)) {
        facts.renamePending = IsRenamePending(entry.id, row.name);
        facts.deletedHere = IsMissingItemDeleted(false, m_current);
        if (NeedsSubtreeCheck(facts)) facts.subtreeAsRecorded = IsSubtreeAsRecorded(entry.id, row.name);
        if (IsMovedThere(facts)) facts.folderPresent = m_model.folders.count(FolderOfRowName(name)) != 0;
    }
    return Execute(PlanRemoteLeftover(facts));
}

HRESULT ModelRun::DeleteLocalItemChecked(const SyncAction& action, const std::wstring& name) {
    LocalDeletionFacts facts;
    facts.path = action.path;
    facts.isFolder = action.isFolder;
    facts.folderId = action.targetId;
    facts.local = action.local;
    facts.rowFound = RowAt(name, facts.row);
    for (DeletionStep step = NextDeletionLookup(facts, DeletionStep::Decided); step != DeletionStep::Decided;
         step = NextDeletionLookup(facts, step)) {
        switch (step) {
            case DeletionStep::RenamePending:
                facts.renamePending = IsRenamePending(facts.row.file_id, name);
                break;
            case DeletionStep::DriveState:
                facts.metaResult = MetaOf(facts.row.file_id, facts.meta) ? S_OK : API_E_ITEM_NOT_FOUND;
                break;
            case DeletionStep::ChangedHere:
                facts.changedHere = action.isFolder ? HasLocalChangesBelow(name) || IsMoveIntoPending(name)
                                                    : IsRowFileChanged(facts.row, action.local);
                break;
            case DeletionStep::Decided:
                break;
        }
    }
    return Execute(PlanLocalDeletion(facts));
}

HRESULT ModelRun::UploadChangedUnlisted(const SyncAction& action, const std::wstring& name) {
    UnlistedUploadFacts facts;
    facts.path = action.path;
    facts.folderId = action.targetId;
    facts.rowFound = RowAt(name, facts.row);
    if (NeedsDriveStateOfUnlisted(facts))
        facts.metaResult = MetaOf(facts.row.file_id, facts.meta) ? S_OK : API_E_ITEM_NOT_FOUND;
    return Execute(PlanUnlistedUpload(facts));
}

}  // namespace plan_model
