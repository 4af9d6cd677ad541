#pragma once
// An in-memory model of the three sides (files and folders here, the
// drive's items, the rows) that carries out the planners' actions as the
// executor does on the real sides, and gathers the facts of the full walk's
// decisions from itself as the engine gathers them from the real sides.
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "BrelioServices/ApiRecords.h"
#include "BrelioServices/StorageRecords.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/LocalChangePlan.h"
#include "BrelioSync/SyncAction.h"

namespace plan_model {

constexpr wchar_t kRoot[] = L"C:\\Sync";
constexpr uint64_t kItem = 7;
// The folder a walk round walks, and the one inside it.
constexpr uint64_t kWalkedFolder = 8;
constexpr uint64_t kSubFolder = 10;
// A folder here the model's drive holds no item for (the sync folder, docs,
// archive): an item sent up into it goes to the same place there.
constexpr uint64_t kUnmodelledFolder = 1;
// Folders on both sides, and one the drive has that is not here yet.
inline const std::set<std::wstring> kLocalFolders = {L"", L"docs", L"archive"};

struct DriveItem {
    std::wstring name;  // a row name
    std::string content;
    uint64_t revision = 0;
    bool trashed = false;
    bool folder = false;
    bool operator==(const DriveItem&) const = default;
};

struct RowItem {
    std::wstring name;
    std::string hash;
    uint64_t revision = 0;
    int status = FILE_STATUS_SYNCED;
    bool folder = false;
    bool operator==(const RowItem&) const = default;
};

// The three sides: the files and folders here by row name, the drive's
// items and the rows, by id. Content stands for its hash.
struct Model {
    std::map<std::wstring, std::string> local;
    std::set<std::wstring> folders = kLocalFolders;
    std::map<uint64_t, DriveItem> drive;
    std::map<uint64_t, RowItem> rows;
    uint64_t nextId = 100;
    uint64_t nextRevision = 20;
    bool operator==(const Model& other) const {
        return local == other.local && folders == other.folders && drive == other.drive && rows == other.rows;
    }
};

// `name` is `folder` or inside it.
inline bool IsWithin(const std::wstring& name, const std::wstring& folder) {
    return name == folder || (name.size() > folder.size() && name.compare(0, folder.size(), folder) == 0 &&
                              name[folder.size()] == L'\\');
}
// `name` inside `from`, taken to the same place inside `to`.
inline std::wstring Rebased(const std::wstring& name, const std::wstring& from, const std::wstring& to) {
    return to + name.substr(from.size());
}

inline std::wstring Full(const std::wstring& name) { return std::wstring(kRoot) + L"\\" + name; }
inline std::wstring NameOf(const std::wstring& full) { return full.substr(wcslen(kRoot) + 1); }
inline std::wstring DrivePath(const std::wstring& name) {
    std::wstring path = L"/" + name;
    for (wchar_t& c : path)
        if (c == L'\\') c = L'/';
    return path;
}
// A file's last-write time and size stand for its content: a row records
// those of the content it holds.
inline uint64_t StampOf(const std::string& content) {
    return 1 + std::hash<std::string>{}(content) % 0x7fffffffffffffffull;
}
inline std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

inline FileInfo InfoOf(uint64_t id, const DriveItem& item) {
    FileInfo info;
    info.id = id;
    info.path = DrivePath(item.name);
    info.name = LeafOfRowName(item.name);
    info.hash = item.content;
    info.revision = item.revision;
    info.type = item.folder ? "folder" : "file";
    return info;
}

// Carries plans out on the model, as the executor does on the real sides,
// and notes what each overwrite or deletion destroys.
class ModelRun {
public:
    // `records`: the change table as the pass begins.
    ModelRun(Model& model, ChangeInfoList& remoteChanges, const ChangeRecordList& records);

    HRESULT Execute(const ActionPlan& plan);

    HRESULT ActOnRecord(uint32_t code, const ChangeRecord& record, ChangeInfo*& matched);

    // Content destroyed that was not what both sides last agreed on.
    const std::vector<std::string>& Destroyed() const { return m_destroyed; }
    const std::string& Trace() const { return m_trace; }
    std::string m_unmodelled;

private:
    FileRecord Row(uint64_t id) const;

    const RowItem* RowByName(const std::wstring& name, uint64_t& id) const;

    // The row of `id`, as the storage answers.
    HRESULT RowFound(uint64_t id, FileRecord& row) const;

    // What the gathering of a decision on a record reads first: the
    // drive's state of its item and its row.
    template <typename Facts>
    void GatherItemState(const SyncAction& action, Facts& facts) {
        facts.root = kRoot;
        facts.record = action.record;
        facts.fullPath = action.path;
        facts.metaResult = MetaOf(action.record.file_id, facts.meta) ? S_OK : API_E_ITEM_NOT_FOUND;
        facts.rowFound = RowFound(action.record.file_id, facts.row);
    }

    bool MetaOf(uint64_t id, ChangeInfo& meta) const;

    void Destroy(const std::string& content, const std::string& agreed);

    void PutRow(uint64_t id, const std::wstring& name, const std::string& hash, uint64_t revision,
                bool folder = false);

    // The rows of `from` and below it, at `to`.
    void RenameRows(const std::wstring& from, const std::wstring& to);

    // By value: the name may be that of a row it drops.
    void DropRowsWithin(std::wstring folder);

    bool LiveAt(const std::wstring& name) const;

    // The drive's live items inside the folder `folderId`, by id.
    std::vector<uint64_t> DriveChildren(uint64_t folderId) const;

    HRESULT NewDriveFolder(const std::wstring& name, uint64_t& id);

    void TrashFolder(uint64_t id);

    // --- The change table, as the walk's look-ups read it ---

    // The records still in the table, but the one being carried out.
    ChangeRecordList PendingChanges() const;

    bool IsRenamePending(uint64_t fileId, const std::wstring& name) const;

    bool IsMoveIntoPending(const std::wstring& folder) const;

    // --- The sides, as the walk's look-ups read them ---

    HRESULT RowAt(const std::wstring& name, FileRecord& row) const;

    bool ExistsHere(const std::wstring& name) const;

    struct LocalEntry {
        std::wstring name;
        bool folder = false;
    };
    // What the search of the folder `folder` finds, in name order.
    std::vector<LocalEntry> LocalItemsIn(const std::wstring& folder) const;

    WIN32_FIND_DATAW FoundHere(const LocalEntry& item) const;

    // The drive's listing of the folder `folderId`: its live items.
    HRESULT Listing(uint64_t folderId, FileInfoList& listing) const;

    // Every item below the drive's folder has a row of the same place and
    // content, in sync.
    bool IsSubtreeAsRecorded(uint64_t folderId, const std::wstring& folderName) const;

    static bool IsRowFileChanged(const FileRecord& row, const WIN32_FIND_DATAW& data);

    bool HasLocalChangesBelow(const std::wstring& folder) const;

    // --- The full walk ---

    // The full walk of the local folder `name` against the drive's folder
    // `folderId`, gathered as FullSyncFolder gathers it: each item found
    // here by PlanWalkItem, then each entry of the drive's listing the
    // folder does not hold by PlanLeftoverEntry. Its result is that of the
    // last item.
    HRESULT Walk(const std::wstring& name, uint64_t folderId);

    WalkItemFacts WalkItemFactsOf(const LocalEntry& item, uint64_t folderId, FileInfoList& listing) const;

    bool IsNameTakenHere(const std::wstring& place, const FileInfo& entry) const;

    LeftoverEntryFacts LeftoverEntryFactsOf(const std::wstring& folder, const std::wstring& place,
                                            const FileInfo& entry) const;

    // The drive's entry `entry` found at `name`, which the local folder does
    // not hold, against its row, by PlanRemoteLeftover.
    HRESULT RemoveLeftover(const std::wstring& name, const FileInfo& entry, const FileRecord& row);

    HRESULT DeleteLocalItemChecked(const SyncAction& action, const std::wstring& name);

    HRESULT UploadChangedUnlisted(const SyncAction& action, const std::wstring& name);

    // --- What the walk's actions do here ---

    // The folder `name` made here for the drive's folder `remote`, its row
    // in sync; one standing there already serves.
    HRESULT MakeLocalFolder(const FileInfo& remote, const std::wstring& name);

    // To the recycle bin, which keeps no content for this model: what goes
    // there is lost unless it is what both sides last agreed on.
    HRESULT RecycleFile(const std::wstring& name);

    HRESULT RecycleFolder(const std::wstring& name);

    // The row of the name goes, and for a folder the rows below it.
    void DropRowsAt(const std::wstring& name, bool isFolder);

    // The drive's item `id` to the trash, a folder with what it holds, and
    // its rows with it.
    HRESULT TrashEntry(uint64_t id, bool isFolder);

    // The folder at `name` up anew, and the old one `oldId` to the trash:
    // what the drive's old folder holds that this one does not, or holds
    // changed since the last pass, comes along first.
    HRESULT CopyFolderUp(const std::wstring& name, uint64_t oldId);

    // A new item `name` into the drive's folder `targetId`, as the service
    // takes it: inside that folder where the drive has it, a new item never
    // taking a name a live item has.
    HRESULT NewDriveItem(uint64_t targetId, const std::wstring& name, bool folder, uint64_t& id);

    // Which row takes a new item sent up: a new one (or the one of its id
    // or name), or only the one of its name.
    enum class RowTakes { Insert, ByName };

    // The file `name` up as a new item into the drive's folder `targetId`.
    HRESULT UploadInto(uint64_t targetId, const std::wstring& name, RowTakes takes = RowTakes::Insert);

    HRESULT UploadNewItem(const std::wstring& name) { return UploadInto(kUnmodelledFolder, name); }

    // The folder a file here goes up into: its folder's row, if any.
    uint64_t ParentIdOf(const std::wstring& name) const;

    // The file `name` up over the drive's item `fileId`, at the revision
    // `revision` only; the row of that id takes it.
    HRESULT UploadRevision(uint64_t fileId, const std::wstring& name, uint64_t revision);

    HRESULT UploadChanged(uint64_t fileId, const std::wstring& name);

    HRESULT Download(const FileInfo& remote, const std::wstring& name);

    HRESULT Trash(uint64_t id);

    HRESULT Trash(uint64_t id, const std::string& agreed);

    HRESULT CarryOut(const SyncAction& action);

    Model& m_model;
    ChangeInfoList& m_remoteChanges;
    PassContext m_pass;
    ChangeRecordList m_pending;
    const ChangeRecord* m_current = nullptr;
    bool m_remoteChangeLeft = false;
    std::string m_trace;
    std::vector<std::string> m_destroyed;
};

}  // namespace plan_model
