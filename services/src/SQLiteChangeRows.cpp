// Row operations on the change and config tables, and the mark the file
// keeps beside them.
#include <sqlite3.h>

#include "BrelioServices/SQLiteConnection.h"
#include "BrelioServices/SQLiteText.h"

using sqltext::BoundName;
using sqltext::Statement;

namespace {

const wchar_t* ConfigTable() { return CSQLiteConnection::TableName(0); }
const wchar_t* FileTable() { return CSQLiteConnection::TableName(1); }
const wchar_t* ChangeTable() { return CSQLiteConnection::TableName(2); }

// The bit of the header's user version that says a walk was refused.
constexpr int kWalkRefusedBit = 1;

}  // namespace

void CSQLiteConnection::AddChange(std::wstring_view name, std::wstring_view oldName, bool isFolder, int32_t action) {
    FileRecord row;
    if (GetFile(name, row))
        InsertChange(name, oldName, row.is_folder, action, row.file_id);
    else
        InsertChange(name, oldName, isFolder, action, 0);
}

void CSQLiteConnection::InsertChange(std::wstring_view name, std::wstring_view oldName, bool isFolder,
                                     int32_t action, uint64_t fileId) {
    // No old name is stored as an empty text, never NULL.
    ExecBound(Statement(L"INSERT INTO %s(name, old_name, is_folder, action, file_id) VALUES(?, ?, %d, %d, %llu)",
                        ChangeTable(), isFolder ? 1 : 0, action, fileId),
              {BoundName(name), BoundName(oldName)});
}

void CSQLiteConnection::InsertChanges(const ChangeRecordList& changes) {
    for (const ChangeRecord& change : changes)
        InsertChange(change.name, change.old_name, change.is_folder, change.action, change.file_id);
}

void CSQLiteConnection::ReadChanges(ChangeRecordList& changes) {
    // creation_time has whole seconds only; the row id keeps the order of
    // changes recorded within one second.
    CSQLiteStatement statement;
    Prepare(Statement(L"SELECT name, old_name, is_folder, action, file_id, rowid FROM %s ORDER BY creation_time, rowid",
                      ChangeTable()),
            statement);
    while (statement.Step()) {
        ChangeRecord change;
        statement.ColumnText(0, change.name, sqltext::kMaxNameChars);
        statement.ColumnText(1, change.old_name, sqltext::kMaxNameChars);
        change.is_folder = statement.ColumnInt(2) == 1;
        change.action = statement.ColumnInt(3);
        change.file_id = static_cast<uint64_t>(statement.ColumnInt64(4));
        change.row_ids.push_back(statement.ColumnInt64(5));
        changes.push_back(std::move(change));
    }
}

void CSQLiteConnection::ClearChanges() { Exec(Statement(L"DELETE FROM %s", ChangeTable())); }

void CSQLiteConnection::DeleteChanges(const std::vector<int64_t>& rowIds) {
    for (const int64_t rowId : rowIds)
        Exec(Statement(L"DELETE FROM %s WHERE rowid=%lld", ChangeTable(), static_cast<long long>(rowId)));
}

bool CSQLiteConnection::ChangeExists(std::wstring_view oldName, int32_t action) {
    int count = 0;
    ExecBound(Statement(L"SELECT count(*) FROM %s WHERE old_name=? AND action = %d", ChangeTable(), action),
              {BoundName(oldName)}, &count);
    return count > 0;
}

uint64_t CSQLiteConnection::GetLatestRevision() {
    CSQLiteStatement statement;
    Prepare(Statement(L"SELECT latest_revision FROM %s", ConfigTable()), statement);
    return statement.Step() ? static_cast<uint64_t>(statement.ColumnInt64(0)) : 0;
}

void CSQLiteConnection::SetLatestRevision(uint64_t revision) {
    if (revision != 0) {
        Exec(Statement(L"UPDATE %s SET latest_revision=%llu", ConfigTable(), revision));
        return;
    }
    Exec(Statement(L"UPDATE %s SET latest_revision=(SELECT max(revision) FROM %s) WHERE latest_revision < (SELECT "
                   L"max(revision) FROM %s)",
                   ConfigTable(), FileTable(), FileTable()));
}

bool CSQLiteConnection::IsWalkRefused() {
    int mark = 0;
    Exec(L"PRAGMA user_version", &mark);
    return (mark & kWalkRefusedBit) != 0;
}

void CSQLiteConnection::SetWalkRefused(bool refused) {
    int mark = 0;
    Exec(L"PRAGMA user_version", &mark);
    const int wanted = refused ? (mark | kWalkRefusedBit) : (mark & ~kWalkRefusedBit);
    if (wanted != mark) Exec(Statement(L"PRAGMA user_version=%d", wanted));
}
