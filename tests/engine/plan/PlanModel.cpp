// The model's actions: what each action kind does to the three sides.
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

using namespace brelio::test;

namespace plan_model {

ModelRun::ModelRun(Model& model, ChangeInfoList& remoteChanges, const ChangeRecordList& records)
    : m_model(model), m_remoteChanges(remoteChanges), m_pending(records) {}

HRESULT ModelRun::Execute(const ActionPlan& plan) {
    if (plan.leavesRemoteChange) m_remoteChangeLeft = true;
    HRESULT result = S_OK;
    for (const SyncAction& action : plan.steps) {
        m_trace += KindName(action.kind);
        m_trace += " ";
        result = CarryOut(action);
        if (result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) && action.wait != WaitOutcome::Failure) {
            if (action.wait == WaitOutcome::LeavesRemoteChange) m_remoteChangeLeft = true;
            result = S_OK;
            continue;
        }
        if (FAILED(result) && action.failure == FailureOutcome::LeavesOut) return S_FALSE;
        if (FAILED(result)) return result;
        if (action.takesRemoteChange) RemoveRemoteChange(m_remoteChanges, action.remoteChange);
    }
    return result;
}

HRESULT ModelRun::ActOnRecord(uint32_t code, const ChangeRecord& record, ChangeInfo*& matched) {
    LocalChangeFacts facts;
    facts.root = kRoot;
    facts.code = code;
    facts.record = record;
    facts.matched = matched;
    facts.fullPath = Full(record.name);
    facts.oldFullPath = record.old_name.empty() ? std::wstring() : Full(record.old_name);
    facts.exists = (record.is_folder ? m_model.folders.count(record.name) : m_model.local.count(record.name)) != 0;
    if (code == CHANGE_MODIFIED_BOTH && facts.exists) {
        facts.matchedRowFound = m_model.rows.count(matched->file.id) ? S_OK : S_FALSE;
        if (facts.matchedRowFound == S_OK) facts.matchedRow = Row(matched->file.id);
    }
    if (code == CHANGE_REMOVED_LOCAL)
        for (const auto& [path, id] : m_pass.renames)
            if (id == record.file_id) {
                facts.renamedAwayPath = path;
                facts.renamedAwayExists = m_model.local.count(NameOf(path)) != 0;
                break;
            }
    if (code == CHANGE_RENAMED_LOCAL && facts.exists) {
        facts.statusRead = true;
        facts.status =
            m_model.rows.count(record.file_id) ? m_model.rows[record.file_id].status : FILE_STATUS_NONE;
        const auto away = m_pass.renames.find(facts.fullPath);
        if (away != m_pass.renames.end()) facts.renamedAwayHereId = away->second;
    }
    m_remoteChangeLeft = false;
    m_current = &record;
    const HRESULT result = Execute(PlanLocalChange(facts));
    m_current = nullptr;
    if (m_remoteChangeLeft) matched = nullptr;
    // Carried out, the record is struck off the change table.
    if (SUCCEEDED(result))
        std::erase_if(m_pending, [&](const ChangeRecord& change) {
            return !change.row_ids.empty() && std::find(record.row_ids.begin(), record.row_ids.end(),
                                                         change.row_ids.front()) != record.row_ids.end();
        });
    return result;
}

FileRecord ModelRun::Row(uint64_t id) const {
    const RowItem& item = m_model.rows.at(id);
    FileRecord row;
    row.file_id = id;
    row.name = item.name;
    row.hash = item.hash;
    row.revision = item.revision;
    row.status = item.status;
    row.is_folder = item.folder;
    row.size = item.hash.size();
    row.last_write_time = StampOf(item.hash);
    return row;
}

const RowItem* ModelRun::RowByName(const std::wstring& name, uint64_t& id) const {
    for (const auto& [rowId, row] : m_model.rows)
        if (row.name == name) {
            id = rowId;
            return &row;
        }
    return nullptr;
}

HRESULT ModelRun::RowFound(uint64_t id, FileRecord& row) const {
    if (!m_model.rows.count(id)) return S_FALSE;
    row = Row(id);
    return S_OK;
}

bool ModelRun::MetaOf(uint64_t id, ChangeInfo& meta) const {
    const auto found = m_model.drive.find(id);
    if (found == m_model.drive.end()) return false;
    meta.changeType = found->second.trashed ? "deleted" : "updated";
    meta.file = InfoOf(id, found->second);
    return true;
}

void ModelRun::Destroy(const std::string& content, const std::string& agreed) {
    if (content != agreed) m_destroyed.push_back(content);
}

void ModelRun::PutRow(uint64_t id, const std::wstring& name, const std::string& hash, uint64_t revision,
                      bool folder) {
    // A row is held under its id or its name: the insert takes either.
    uint64_t other = 0;
    if (RowByName(name, other) != nullptr && other != id) m_model.rows.erase(other);
    m_model.rows[id] = RowItem{name, hash, revision, FILE_STATUS_SYNCED, folder};
}

void ModelRun::RenameRows(const std::wstring& from, const std::wstring& to) {
    for (auto& [id, row] : m_model.rows)
        if (IsWithin(row.name, from)) row.name = Rebased(row.name, from, to);
}

void ModelRun::DropRowsWithin(std::wstring folder) {
    std::erase_if(m_model.rows, [&](const auto& entry) { return IsWithin(entry.second.name, folder); });
}

bool ModelRun::LiveAt(const std::wstring& name) const {
    for (const auto& [id, item] : m_model.drive)
        if (!item.trashed && item.name == name) return true;
    return false;
}

std::vector<uint64_t> ModelRun::DriveChildren(uint64_t folderId) const {
    std::vector<uint64_t> children;
    const auto folder = m_model.drive.find(folderId);
    if (folder == m_model.drive.end()) return children;
    for (const auto& [id, item] : m_model.drive)
        if (id != folderId && !item.trashed && IsWithin(item.name, folder->second.name)) children.push_back(id);
    return children;
}

HRESULT ModelRun::NewDriveFolder(const std::wstring& name, uint64_t& id) {
    if (!m_model.folders.count(FolderOfRowName(name))) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    if (LiveAt(name)) return API_E_NAME_EXISTS;
    id = m_model.nextId++;
    m_model.drive[id] = DriveItem{name, "", m_model.nextRevision++, false, true};
    PutRow(id, name, "", m_model.drive[id].revision, true);
    return S_OK;
}

void ModelRun::TrashFolder(uint64_t id) {
    const auto folder = m_model.drive.find(id);
    if (folder == m_model.drive.end() || folder->second.trashed) return;
    for (const uint64_t child : DriveChildren(id)) {
        const auto row = m_model.rows.find(child);
        Trash(child, row != m_model.rows.end() ? row->second.hash : std::string());
    }
    folder->second.trashed = true;
}

HRESULT ModelRun::MakeLocalFolder(const FileInfo& remote, const std::wstring& name) {
    if (m_model.local.count(name)) return E_FAIL;
    if (!m_model.folders.count(FolderOfRowName(name))) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    m_model.folders.insert(name);
    PutRow(remote.id, name, "", remote.revision, true);
    return S_OK;
}

HRESULT ModelRun::RecycleFile(const std::wstring& name) {
    if (!m_model.local.count(name)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    FileRecord row;
    Destroy(m_model.local[name], RowAt(name, row) == S_OK ? row.hash : std::string());
    m_model.local.erase(name);
    DropRowsAt(name, false);
    return S_OK;
}

HRESULT ModelRun::RecycleFolder(const std::wstring& name) {
    if (!m_model.folders.count(name)) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    for (const auto& [file, content] : std::map<std::wstring, std::string>(m_model.local)) {
        if (!IsWithin(file, name)) continue;
        FileRecord row;
        Destroy(content, RowAt(file, row) == S_OK ? row.hash : std::string());
        m_model.local.erase(file);
    }
    std::erase_if(m_model.folders, [&](const std::wstring& folder) { return IsWithin(folder, name); });
    DropRowsAt(name, true);
    return S_OK;
}

void ModelRun::DropRowsAt(const std::wstring& name, bool isFolder) {
    if (isFolder) {
        DropRowsWithin(name);
        return;
    }
    uint64_t id = 0;
    if (RowByName(name, id) != nullptr) m_model.rows.erase(id);
}

HRESULT ModelRun::TrashEntry(uint64_t id, bool isFolder) {
    const auto row = m_model.rows.find(id);
    if (isFolder) {
        TrashFolder(id);
        if (row != m_model.rows.end()) DropRowsWithin(row->second.name);
    } else {
        Trash(id);
    }
    m_model.rows.erase(id);
    return S_OK;
}

HRESULT ModelRun::CopyFolderUp(const std::wstring& name, uint64_t oldId) {
    if (!m_model.folders.count(name)) return E_FAIL;
    uint64_t folderId = 0;
    const HRESULT made = NewDriveFolder(name, folderId);
    if (FAILED(made)) return made;
    const auto old = m_model.drive.find(oldId);
    if (old != m_model.drive.end() && !old->second.trashed) {
        for (const uint64_t child : DriveChildren(oldId)) {
            const DriveItem item = m_model.drive[child];
            const std::wstring place = Rebased(item.name, old->second.name, name);
            const auto row = m_model.rows.find(child);
            const bool changedThere = row == m_model.rows.end() || row->second.hash != item.content;
            if (!changedThere) continue;
            if (m_model.local.count(place) && row != m_model.rows.end() &&
                m_model.local[place] != row->second.hash) {
                m_model.local[place + L" (conflict)"] = m_model.local[place];
            }
            m_model.local[place] = item.content;
            m_model.rows.erase(child);
        }
    }
    for (const auto& [file, content] : std::map<std::wstring, std::string>(m_model.local)) {
        if (FolderOfRowName(file) != name) continue;
        uint64_t id = 0;
        if (RowByName(file, id) != nullptr) m_model.rows.erase(id);
        const HRESULT uploaded = UploadNewItem(file);
        if (FAILED(uploaded)) return uploaded;
    }
    if (old != m_model.drive.end()) {
        TrashFolder(oldId);
        m_model.rows.erase(oldId);
    }
    return S_OK;
}

HRESULT ModelRun::NewDriveItem(uint64_t targetId, const std::wstring& name, bool folder, uint64_t& id) {
    std::wstring place = name;
    const auto parent = m_model.drive.find(targetId);
    if (parent != m_model.drive.end()) {
        if (parent->second.trashed || !parent->second.folder) return API_E_ITEM_NOT_FOUND;
        place = parent->second.name + L"\\" + LeafOfRowName(name);
    }
    if (LiveAt(place)) return API_E_NAME_EXISTS;
    if (parent == m_model.drive.end() && !m_model.folders.count(FolderOfRowName(name)))
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    id = m_model.nextId++;
    m_model.drive[id] = DriveItem{place, folder ? "" : m_model.local[name], m_model.nextRevision++, false, folder};
    return S_OK;
}

HRESULT ModelRun::UploadInto(uint64_t targetId, const std::wstring& name, RowTakes takes) {
    if (!m_model.local.count(name)) return E_FAIL;
    uint64_t id = 0;
    const HRESULT made = NewDriveItem(targetId, name, false, id);
    if (FAILED(made)) return made;
    const DriveItem& item = m_model.drive[id];
    if (takes == RowTakes::Insert) {
        PutRow(id, name, item.content, item.revision);
        return S_OK;
    }
    uint64_t old = 0;
    if (RowByName(name, old) != nullptr) {
        m_model.rows.erase(old);
        m_model.rows[id] = RowItem{name, item.content, item.revision, FILE_STATUS_SYNCED};
    }
    return S_OK;
}

uint64_t ModelRun::ParentIdOf(const std::wstring& name) const {
    FileRecord row;
    if (RowAt(FolderOfRowName(name), row) == S_OK && row.is_folder) return row.file_id;
    return kUnmodelledFolder;
}

HRESULT ModelRun::UploadRevision(uint64_t fileId, const std::wstring& name, uint64_t revision) {
    if (!m_model.local.count(name)) return E_FAIL;
    const auto item = m_model.drive.find(fileId);
    if (item == m_model.drive.end() || item->second.trashed || item->second.folder) return API_E_ITEM_NOT_FOUND;
    if (item->second.revision != revision) return E_FAIL;
    const auto row = m_model.rows.find(fileId);
    Destroy(item->second.content, row != m_model.rows.end() ? row->second.hash : std::string());
    item->second.content = m_model.local[name];
    item->second.revision = m_model.nextRevision++;
    if (row != m_model.rows.end()) PutRow(fileId, name, item->second.content, item->second.revision);
    return S_OK;
}

HRESULT ModelRun::UploadChanged(uint64_t fileId, const std::wstring& name) {
    if (!m_model.local.count(name)) return E_FAIL;
    uint64_t id = fileId;
    if (id == 0 || !m_model.rows.count(id)) {
        id = 0;
        if (RowByName(name, id) == nullptr) {
            if (!m_model.folders.count(FolderOfRowName(name))) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
            return UploadNewItem(name);
        }
    }
    RowItem& row = m_model.rows[id];
    const std::string& content = m_model.local[name];
    // In sync already with the file as it is.
    if (row.status == FILE_STATUS_SYNCED && row.hash == content && row.name == name) return S_OK;
    DriveItem& item = m_model.drive[id];
    if (item.trashed) return API_E_ITEM_NOT_FOUND;
    if (item.revision != row.revision) return E_FAIL;
    Destroy(item.content, row.hash);
    item.content = content;
    item.revision = m_model.nextRevision++;
    row = RowItem{name, content, item.revision, FILE_STATUS_SYNCED};
    return S_OK;
}

HRESULT ModelRun::Download(const FileInfo& remote, const std::wstring& name) {
    const auto item = m_model.drive.find(remote.id);
    if (item == m_model.drive.end() || item->second.trashed) return API_E_ITEM_NOT_FOUND;
    if (m_model.local.count(name)) {
        const auto row = m_model.rows.find(remote.id);
        Destroy(m_model.local[name], row != m_model.rows.end() ? row->second.hash : std::string());
    }
    m_model.local[name] = item->second.content;
    PutRow(remote.id, name, item->second.content, item->second.revision);
    return S_OK;
}

HRESULT ModelRun::Trash(uint64_t id) {
    const auto row = m_model.rows.find(id);
    return Trash(id, row != m_model.rows.end() ? row->second.hash : std::string());
}

HRESULT ModelRun::Trash(uint64_t id, const std::string& agreed) {
    const auto item = m_model.drive.find(id);
    if (item != m_model.drive.end() && !item->second.trashed) {
        Destroy(item->second.content, agreed);
        item->second.trashed = true;
    }
    return S_OK;
}

HRESULT ModelRun::CarryOut(const SyncAction& action) {
    const std::wstring name = action.path.empty() ? std::wstring() : NameOf(action.path);
    switch (action.kind) {
        case ActionKind::Note:
            return S_OK;
        case ActionKind::Fail:
            return action.result;
        case ActionKind::Skip:
            return action.result;
        case ActionKind::RememberSyncedName:
            m_pass.syncedNames.emplace(action.fileId, action.name);
            return S_OK;
        case ActionKind::RememberRenamedAway:
            m_pass.renames[action.path] = action.fileId;
            return S_OK;
        case ActionKind::RememberReplaced:
            m_pass.replacedIds.insert(action.fileId);
            return S_OK;
        case ActionKind::UploadChanged:
        case ActionKind::UploadUnlessRecorded:
            return UploadChanged(action.fileId, name);
        case ActionKind::UploadNew:
            return UploadInto(action.targetId, name);
        case ActionKind::UploadByName:
            return UploadInto(action.targetId, name, RowTakes::ByName);
        case ActionKind::UploadRevision:
            return UploadRevision(action.fileId, name, action.revision);
        case ActionKind::UploadChangedUnlisted:
            return UploadChangedUnlisted(action, name);
        case ActionKind::Download:
        case ActionKind::ResolveBothModified: {
            if (action.kind == ActionKind::ResolveBothModified && m_model.local.count(name)) {
                const auto item = m_model.drive.find(action.remote.id);
                if (item != m_model.drive.end() && item->second.content == m_model.local[name]) {
                    PutRow(action.remote.id, name, item->second.content, item->second.revision);
                    return S_OK;
                }
                // The local content lives on as a conflict copy, which
                // goes up as a new item.
                const std::wstring copy = name + L" (conflict)";
                m_model.local[copy] = m_model.local[name];
                m_model.local.erase(name);
                const HRESULT hr = Download(action.remote, name);
                if (FAILED(hr)) return hr;
                return UploadInto(ParentIdOf(copy), copy);
            }
            return Download(action.remote, name);
        }
        case ActionKind::DownloadById: {
            ChangeInfo meta;
            if (!MetaOf(action.fileId, meta)) return API_E_ITEM_NOT_FOUND;
            return Download(meta.file, name);
        }
        case ActionKind::MoveLocal: {
            if (!m_model.rows.count(action.fileId)) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
            RowItem& row = m_model.rows[action.fileId];
            if (row.folder) {
                if (!m_model.folders.count(row.name)) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
                if (m_model.folders.count(name) && name != row.name) return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
                const std::wstring from = row.name;
                std::set<std::wstring> folders;
                for (const std::wstring& folder : m_model.folders)
                    folders.insert(IsWithin(folder, from) ? Rebased(folder, from, name) : folder);
                m_model.folders = folders;
                std::map<std::wstring, std::string> files;
                for (const auto& [file, content] : m_model.local)
                    files[IsWithin(file, from) ? Rebased(file, from, name) : file] = content;
                m_model.local = files;
                RenameRows(from, name);
            } else if (m_model.local.count(row.name)) {
                if (m_model.local.count(name) && name != row.name) return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
                const std::string content = m_model.local[row.name];
                m_model.local.erase(row.name);
                m_model.local[name] = content;
            }
            row.name = name;
            row.hash = action.hash;
            row.revision = action.revision;
            return S_OK;
        }
        case ActionKind::SetRevision:
            if (m_model.rows.count(action.remote.id)) m_model.rows[action.remote.id].revision = action.remote.revision;
            return S_OK;
        case ActionKind::MarkSynced:
            if (m_model.rows.count(action.fileId)) m_model.rows[action.fileId].status = FILE_STATUS_SYNCED;
            return S_OK;
        case ActionKind::RecordRemoteFolder:
            PutRow(action.remote.id, name, "", action.remote.revision, true);
            return S_OK;
        case ActionKind::MarkDeleted:
            if (action.isFolder && m_model.rows.count(action.fileId))
                DropRowsWithin(m_model.rows[action.fileId].name);
            m_model.rows.erase(action.fileId);
            return S_OK;
        case ActionKind::DeleteRemote:
            return TrashEntry(action.fileId, action.isFolder);
        case ActionKind::RenameRemote: {
            DriveItem& item = m_model.drive[action.fileId];
            if (item.trashed) return API_E_ITEM_NOT_FOUND;
            const std::wstring from = item.name;
            // A folder's items go with it.
            for (auto& [id, held] : m_model.drive)
                if (IsWithin(held.name, from)) held.name = Rebased(held.name, from, action.name);
            if (item.folder) RenameRows(action.oldName, action.name);
            if (m_model.rows.count(action.fileId))
                m_model.rows[action.fileId] =
                    RowItem{action.name, item.content, item.revision, FILE_STATUS_SYNCED, item.folder};
            return S_OK;
        }
        case ActionKind::MoveRemoteByCopy: {
            if (action.isFolder) return CopyFolderUp(name, action.fileId);
            if (!m_model.local.count(name)) return E_FAIL;
            const auto old = m_model.rows.find(action.fileId);
            const std::string agreed = old != m_model.rows.end() ? old->second.hash : std::string();
            const HRESULT uploaded = UploadNewItem(name);
            if (FAILED(uploaded)) return uploaded;
            m_model.rows.erase(action.fileId);
            // The old item stays when the drive changed it meanwhile.
            const auto item = m_model.drive.find(action.fileId);
            if (item != m_model.drive.end() && !item->second.trashed && item->second.content == agreed)
                Trash(action.fileId, agreed);
            return S_OK;
        }
        case ActionKind::FollowRemoteMove: {
            FollowMoveFacts facts;
            facts.remote = action.remote;
            facts.path = action.path;
            facts.row = action.row;
            const auto here = m_model.local.find(action.row.name);
            facts.changedHere = here == m_model.local.end() ? false : here->second != action.row.hash;
            facts.samePlace = action.row.name == name;
            facts.folderPresent = m_model.folders.count(FolderOfRowName(name)) != 0;
            return Execute(PlanFollowRemoteMove(facts));
        }
        case ActionKind::SendLocalRename: {
            SendRenameFacts facts;
            GatherItemState(action, facts);
            facts.changedHere = !action.record.is_folder && facts.rowFound == S_OK && m_model.local.count(name) &&
                                m_model.local[name] != facts.row.hash;
            facts.sameFolder = FolderOfRowName(action.record.name) ==
                               FolderOfRowName(RemotePathToRowName(facts.meta.file.path));
            return Execute(PlanSendLocalRename(facts));
        }
        case ActionKind::SettleRenameAgainstRemote: {
            RenameAgainstRemoteFacts facts;
            facts.root = kRoot;
            facts.record = action.record;
            facts.fullPath = action.path;
            facts.change = *action.remoteChange;
            facts.rowFound = RowFound(action.record.file_id, facts.row);
            const auto synced = m_pass.syncedNames.find(action.record.file_id);
            facts.syncedName = synced != m_pass.syncedNames.end() ? synced->second : action.record.old_name;
            facts.sameFolder = FolderOfRowName(facts.syncedName) ==
                               FolderOfRowName(RemotePathToRowName(facts.change.file.path));
            return Execute(PlanRenameAgainstRemote(facts));
        }
        case ActionKind::KeepRenamedAgainstDeletion: {
            RenamedAgainstDeletionFacts facts;
            facts.record = action.record;
            facts.fullPath = action.path;
            facts.parentFound = S_OK;
            facts.parentId = 1;
            facts.found = action.record.is_folder && m_model.folders.count(name) != 0;
            for (ChangeInfo& change : m_remoteChanges)
                if (change.changeType == "updated" && change.file.id != action.record.file_id &&
                    IsFileType(change.file.type.c_str()) != action.record.is_folder &&
                    RemotePathToRowName(change.file.path) == action.record.name)
                    facts.standing = &change;
            return Execute(PlanRenamedAgainstDeletion(facts));
        }
        case ActionKind::SettleLocalFolderRemoval: {
            FolderRemovalFacts facts;
            GatherItemState(action, facts);
            return Execute(PlanLocalFolderRemoval(facts));
        }
        case ActionKind::CreateRemoteFolderInAndWalk: {
            if (action.targetId == kUnknownParentId) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
            uint64_t folderId = 0;
            HRESULT made = NewDriveItem(action.targetId, name, true, folderId);
            if (SUCCEEDED(made)) PutRow(folderId, name, "", m_model.drive[folderId].revision, true);
            if (made == API_E_NAME_EXISTS) {
                // As the engine takes it: the row at the name.
                if (RowByName(name, folderId) == nullptr) return E_FAIL;
            } else if (FAILED(made)) {
                return made;
            }
            return Walk(name, folderId);
        }
        case ActionKind::CreateLocalFolder:
            return MakeLocalFolder(action.remote, name);
        case ActionKind::CreateLocalFolderAndWalk: {
            const HRESULT made = MakeLocalFolder(action.remote, name);
            if (FAILED(made)) return made;
            return Walk(name, action.remote.id);
        }
        case ActionKind::RecordListedFolder:
            PutRow(action.remote.id, name, "", action.remote.revision, true);
            return S_OK;
        case ActionKind::DeleteLocalItemChecked:
            return DeleteLocalItemChecked(action, name);
        case ActionKind::DeleteLocalFile:
            return RecycleFile(name);
        case ActionKind::DeleteLocalFolder:
            return RecycleFolder(name);
        case ActionKind::DeleteRemoteEntry:
            return TrashEntry(action.remote.id, !IsFileType(action.remote.type.c_str()));
        case ActionKind::DropRowAt:
            DropRowsAt(name, action.isFolder);
            return S_OK;
        case ActionKind::ReportFailed:
            return S_OK;
        case ActionKind::RenameRows: {
            if (!m_model.rows.count(action.row.file_id)) return S_OK;
            RenameRows(NameOf(action.oldName), name);
            RowItem& row = m_model.rows[action.row.file_id];
            row.hash = action.row.hash;
            row.revision = action.row.revision;
            return S_OK;
        }
        case ActionKind::WalkFolder:
            return Walk(name, action.targetId);
        case ActionKind::RemoveRemoteLeftover:
            return RemoveLeftover(name, action.remote, action.row);
        // No item of this model moves out of a folder on the drive.
        case ActionKind::SettleMovesOutOf:
            return S_OK;
        case ActionKind::SettleVanishedItem: {
            VanishedItemFacts facts;
            facts.record = action.record;
            facts.rowFound = RowFound(action.record.file_id, facts.row);
            for (ChangeInfo& change : m_remoteChanges)
                if (change.file.id == action.record.file_id) facts.remoteChange = &change;
            facts.placePath = Full(facts.row.name);
            facts.placeExists = facts.rowFound == S_OK && (m_model.local.count(facts.row.name) != 0 ||
                                                           m_model.folders.count(facts.row.name) != 0);
            return Execute(PlanVanishedItem(facts));
        }
        case ActionKind::ResumeMoveByCopy: {
            ResumeMoveFacts facts;
            facts.record = action.record;
            facts.fullPath = action.path;
            uint64_t id = 0;
            facts.rowFound = RowByName(name, id) != nullptr ? S_OK : S_FALSE;
            if (facts.rowFound == S_OK) facts.row = Row(id);
            facts.metaResult = MetaOf(action.record.file_id, facts.meta) ? S_OK : API_E_ITEM_NOT_FOUND;
            return Execute(PlanResumeMoveByCopy(facts));
        }
        // No folder is made here in this model but in a walk.
        case ActionKind::CreateRemoteFolder:
        case ActionKind::CreateRemoteFolderAndWalk:
        // The remote phase's actions are not in this model.
        case ActionKind::DeleteLocalChecked:
        // Nor the copy of a folder moved here, which the drive cannot move.
        case ActionKind::CopyFolderUp:
        case ActionKind::RecordSameContent:
        // Nor a selective sync's.
        case ActionKind::LeaveOut:
        case ActionKind::MakeSelectedFolder:
        case ActionKind::RecordSelectedFolder:
            m_unmodelled = KindName(action.kind);
            return E_NOTIMPL;
    }
    return E_UNEXPECTED;
}

}  // namespace plan_model
