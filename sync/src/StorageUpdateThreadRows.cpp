#include "StorageUpdateThreadRows.h"

#include <cwchar>
#include <string>

#include "BrelioServices/SQLiteConnection.h"
#include "BrelioServices/SQLiteText.h"
#include "BrelioServices/StorageRecords.h"

namespace {

bool SameName(std::wstring_view a, std::wstring_view b) {
    return _wcsicmp(std::wstring(a).c_str(), std::wstring(b).c_str()) == 0;
}

// The row id of the last change recorded under the item's name when that
// is already its removal; 0 otherwise.
int64_t RecordedRemoval(CSQLiteConnection& db, const FileRecord& row) {
    CSQLiteStatement statement;
    db.Prepare(sqltext::Statement(L"SELECT action, file_id, rowid FROM %s WHERE name=? COLLATE NOCASE ORDER BY "
                                  L"rowid DESC LIMIT 1",
                                  CSQLiteConnection::TableName(2)),
               statement, {sqltext::BoundName(row.name)});
    if (!statement.Step() || statement.ColumnInt(0) != CHANGE_ACTION_REMOVED ||
        static_cast<uint64_t>(statement.ColumnInt64(1)) != row.file_id)
        return 0;
    return statement.ColumnInt64(2);
}

bool IsRemovalRecorded(CSQLiteConnection& db, const FileRecord& row) { return RecordedRemoval(db, row) != 0; }

bool HasRowsUnder(CSQLiteConnection& db, std::wstring_view folder) {
    CSQLiteStatement statement;
    db.Prepare(sqltext::Statement(L"SELECT 1 FROM %s WHERE %s LIMIT 1", CSQLiteConnection::TableName(1),
                                  sqltext::kUnderFolder),
               statement, {sqltext::UnderFolderPattern(folder)});
    return statement.Step();
}

// What the rows know of the renamed item beats the monitor's word: the
// monitor looks at a path when it reads the event, and a folder renamed
// again since then reads as a file. A folder's row, or rows beneath the
// old name, make it a folder.
bool IsRenamedFolder(CSQLiteConnection& db, std::wstring_view oldName, bool reportedFolder) {
    FileRecord row;
    if (db.GetFile(oldName, row) && row.is_folder) return true;
    return reportedFolder || HasRowsUnder(db, oldName);
}

void DropReplacedRow(CSQLiteConnection& db, std::wstring_view name) {
    FileRecord replaced;
    if (!db.GetFile(name, replaced)) return;
    if (!IsRemovalRecorded(db, replaced))
        db.InsertChange(replaced.name, L"", replaced.is_folder, CHANGE_ACTION_REMOVED, replaced.file_id);
    if (replaced.is_folder) db.DeleteFilesUnder(replaced.name);
    db.DeleteFile(replaced.name);
}

}  // namespace

void RecordChange(CSQLiteConnection& db, std::wstring_view name, bool isFolder, int32_t action) {
    // The row's status and the change that explains it are written as one.
    CSQLiteTransaction transaction(db);
    if (action == CHANGE_ACTION_MODIFIED) db.SetFileStatus(name, FILE_STATUS_CHANGED);
    db.AddChange(name, L"", isFolder, action);
    transaction.Commit();
}

void RecordRename(CSQLiteConnection& db, std::wstring_view oldName, std::wstring_view newName, bool reportedFolder) {
    const bool isFolder = IsRenamedFolder(db, oldName, reportedFolder);
    // Row names ignore letter case: a rename that changes only the case
    // finds its own row under the new name.
    if (!SameName(oldName, newName) && db.FileExists(newName) && !db.FileExists(oldName)) {
        RecordChange(db, newName, isFolder, CHANGE_ACTION_MODIFIED);
        return;
    }
    // Rows that carry the new names without the change that renames them
    // would turn the item into a copy of itself: both are written, or none.
    CSQLiteTransaction transaction(db);
    // A removal recorded for the item just before it is renamed was the
    // rename seen from its old name alone (the item looked gone before the
    // rename was read): the rename tells where it went, and the removal
    // would send the item to the trash.
    FileRecord renamed;
    if (db.GetFile(oldName, renamed)) {
        const int64_t removal = RecordedRemoval(db, renamed);
        if (removal != 0) db.DeleteChanges({removal});
    }
    if (!SameName(oldName, newName) && db.FileExists(newName)) DropReplacedRow(db, newName);
    db.RenameFileRow(oldName, newName, isFolder);
    db.AddChange(newName, oldName, isFolder, CHANGE_ACTION_RENAMED);
    transaction.Commit();
}
