#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The status column of a file row.
enum FileStatus : int32_t {
    FILE_STATUS_NONE = 0,         // no row; read for a missing row, never stored
    FILE_STATUS_SYNCED = 1,       // in sync
    FILE_STATUS_CHANGED = 2,      // changed locally, not yet uploaded
    FILE_STATUS_DELETE = 3,       // never stored: asking for it deletes the row
    FILE_STATUS_RETRANSFER = 6,   // to be transferred again
    FILE_STATUS_LOCAL_FAILED = 7, // failed locally
};

// The action column of a change row.
enum ChangeAction : int32_t {
    CHANGE_ACTION_ADDED = 1,
    CHANGE_ACTION_REMOVED = 2,
    CHANGE_ACTION_MODIFIED = 3,
    CHANGE_ACTION_RENAMED = 4,
};

// Parent id of an item directly in the sync folder: the drive root.
constexpr uint64_t kRootFolderId = 0;
// Parent id of an item whose parent folder has no row (or whose parent row
// is a file). It is never a valid id, so an item is never placed at the top
// of the drive by mistake.
constexpr uint64_t kUnknownParentId = UINT64_MAX;

// One row of the file table.
struct FileRecord {
    uint64_t file_id = 0;
    std::wstring name;  // relative to the sync folder, backslashes
    bool is_folder = false;
    uint64_t size = 0;
    uint64_t last_write_time = 0;  // UTC FILETIME ticks
    std::string hash;              // UTF-8 as stored
    uint64_t revision = 0;
    int32_t version = 0;
    int32_t status = FILE_STATUS_NONE;
};

// One row of the change table. file_id is 0 when the item had no file row;
// old_name is empty unless the action is a rename.
struct ChangeRecord {
    std::wstring name;
    std::wstring old_name;
    bool is_folder = false;
    int32_t action = 0;
    uint64_t file_id = 0;
    // The change table's row ids this record stands for (several once
    // coalesced): a record is deleted only after its action was carried
    // out, so a crash never loses a change whose action did not happen.
    std::vector<int64_t> row_ids;
};

using ChangeRecordList = std::vector<ChangeRecord>;
