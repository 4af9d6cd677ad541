// Row operations on the file table.
#include <sqlite3.h>

#include "BrelioServices/SQLiteConnection.h"
#include "BrelioServices/SQLiteText.h"

using sqltext::BoundHash;
using sqltext::BoundName;
using sqltext::Statement;

namespace {

const wchar_t* FileTable() { return CSQLiteConnection::TableName(1); }

constexpr wchar_t kSelectFile[] =
    L"SELECT file_id, name, is_folder, size, last_write_time, hash, revision, version, status FROM %s ";

void ReadFileRow(const CSQLiteStatement& statement, FileRecord& record) {
    FileRecord row;
    row.file_id = static_cast<uint64_t>(statement.ColumnInt64(0));
    statement.ColumnText(1, row.name, sqltext::kMaxNameChars);
    row.is_folder = statement.ColumnInt(2) == 1;
    row.size = static_cast<uint64_t>(statement.ColumnInt64(3));
    row.last_write_time = static_cast<uint64_t>(statement.ColumnInt64(4));
    statement.ColumnText(5, row.hash, sqltext::kMaxHashBytes);
    row.revision = static_cast<uint64_t>(statement.ColumnInt64(6));
    row.version = statement.ColumnInt(7);
    row.status = statement.ColumnInt(8);
    // The caller's record changes only once the whole row was read.
    record = std::move(row);
}

bool StepIntoRecord(CSQLiteStatement& statement, FileRecord& record) {
    if (!statement.Step()) return false;
    ReadFileRow(statement, record);
    return true;
}

int StatusOrZero(CSQLiteStatement& statement) { return statement.Step() ? statement.ColumnInt(0) : 0; }

}  // namespace

bool CSQLiteConnection::FileExists(std::wstring_view name) {
    int count = 0;
    ExecBound(Statement(L"SELECT count(*) FROM %s WHERE name=?", FileTable()), {BoundName(name)}, &count);
    return count > 0;
}

bool CSQLiteConnection::FileExists(uint64_t fileId) {
    int count = 0;
    Exec(Statement(L"SELECT count(*) FROM %s WHERE file_id=%llu", FileTable(), fileId), &count);
    return count > 0;
}

CSQLiteConnection::RowMatch CSQLiteConnection::FindFileRow(uint64_t fileId, std::wstring_view name) {
    int match = -1;
    ExecBound(Statement(L"SELECT coalesce(max(file_id=%llu), -1) FROM %s WHERE file_id=%llu OR name=?", fileId,
                        FileTable(), fileId),
              {BoundName(name)}, &match);
    return match == 1 ? RowMatch::kId : match == 0 ? RowMatch::kName : RowMatch::kNone;
}

bool CSQLiteConnection::GetFile(std::wstring_view name, FileRecord& record) {
    CSQLiteStatement statement;
    Prepare(Statement((std::wstring(kSelectFile) + L"WHERE name=?").c_str(), FileTable()), statement,
            {BoundName(name)});
    return StepIntoRecord(statement, record);
}

bool CSQLiteConnection::GetFile(uint64_t fileId, FileRecord& record) {
    CSQLiteStatement statement;
    Prepare(Statement((std::wstring(kSelectFile) + L"WHERE file_id=%llu").c_str(), FileTable(), fileId), statement);
    return StepIntoRecord(statement, record);
}

int CSQLiteConnection::GetFileStatus(std::wstring_view name) {
    CSQLiteStatement statement;
    Prepare(Statement(L"SELECT status FROM %s WHERE name=?", FileTable()), statement, {BoundName(name)});
    return StatusOrZero(statement);
}

int CSQLiteConnection::GetFileStatus(uint64_t fileId) {
    CSQLiteStatement statement;
    Prepare(Statement(L"SELECT status FROM %s WHERE file_id=%llu", FileTable(), fileId), statement);
    return StatusOrZero(statement);
}

bool CSQLiteConnection::GetParentFileId(std::wstring_view name, uint64_t& parentId) {
    parentId = kUnknownParentId;
    // The sync folder itself has no parent on the drive.
    if (sqltext::StripTrailingBackslashes(name).empty()) return false;
    const std::optional<std::wstring> parent = sqltext::ParentName(name);
    if (!parent) {
        parentId = kRootFolderId;
        return true;
    }
    FileRecord row;
    if (parent->empty() || !GetFile(*parent, row) || !row.is_folder) return false;
    parentId = row.file_id;
    return true;
}

bool CSQLiteConnection::GetFileAndParent(uint64_t fileId, std::wstring_view name, uint64_t& parentId,
                                         uint64_t& revision) {
    FileRecord row;
    const bool found = fileId != 0 ? GetFile(fileId, row) : GetFile(name, row);
    GetParentFileId(name, parentId);
    if (found) revision = row.revision;
    return found;
}

void CSQLiteConnection::GetRevisions(const std::vector<uint64_t>& fileIds,
                                     std::unordered_map<uint64_t, uint64_t>& revisions) {
    // Ids are numbers: they go into the statement as text, a few hundred
    // at a time.
    constexpr size_t kBatch = 500;
    for (size_t first = 0; first < fileIds.size(); first += kBatch) {
        std::wstring list;
        for (size_t i = first; i < fileIds.size() && i < first + kBatch; ++i) {
            if (!list.empty()) list += L',';
            list += std::to_wstring(fileIds[i]);
        }
        CSQLiteStatement statement;
        Prepare(Statement(L"SELECT file_id, revision FROM %s WHERE file_id IN (%s)", FileTable(), list.c_str()),
                statement);
        while (statement.Step())
            revisions[static_cast<uint64_t>(statement.ColumnInt64(0))] = static_cast<uint64_t>(statement.ColumnInt64(1));
    }
}

int CSQLiteConnection::GetFolderStatus(std::wstring_view folder) {
    CSQLiteStatement statement;
    Prepare(Statement(L"SELECT MAX(status) FROM %s WHERE status <> 0 AND %s", FileTable(), sqltext::kUnderFolder),
            statement, {sqltext::UnderFolderPattern(folder)});
    return StatusOrZero(statement);
}

void CSQLiteConnection::InsertFile(const FileRecord& record) {
    ExecBound(Statement(L"INSERT INTO %s(file_id, name, is_folder, size, last_write_time, hash, revision, version, "
                        L"status) VALUES(%llu, ?, %d, %llu, %llu, ?, %llu, %d, %d)",
                        FileTable(), record.file_id, record.is_folder ? 1 : 0, record.size, record.last_write_time,
                        record.revision, record.version, record.status),
              {BoundName(record.name), BoundHash(record.hash)});
}

void CSQLiteConnection::UpdateFile(const FileRecord& record) {
    ExecBound(Statement(L"UPDATE %s SET name=?, is_folder=%d, size=%llu, last_write_time=%llu, hash=?, "
                        L"revision=%llu, version=%d, status=%d WHERE file_id=%llu",
                        FileTable(), record.is_folder ? 1 : 0, record.size, record.last_write_time, record.revision,
                        record.version, record.status, record.file_id),
              {BoundName(record.name), BoundHash(record.hash)});
}

void CSQLiteConnection::UpdateFileByName(const FileRecord& record) {
    ExecBound(Statement(L"UPDATE %s SET file_id=%llu, is_folder=%d, size=%llu, last_write_time=%llu, hash=?, "
                        L"revision=%llu, version=%d, status=%d WHERE name=?",
                        FileTable(), record.file_id, record.is_folder ? 1 : 0, record.size, record.last_write_time,
                        record.revision, record.version, record.status),
              {BoundHash(record.hash), BoundName(record.name)});
}

void CSQLiteConnection::UpdateFileMeta(uint64_t fileId, std::wstring_view name, std::string_view hash,
                                       uint64_t revision, int32_t version) {
    ExecBound(Statement(L"UPDATE %s SET name=?, hash=?, revision=%llu, version=%d WHERE file_id=%llu", FileTable(),
                        revision, version, fileId),
              {BoundName(name), BoundHash(hash)});
}

void CSQLiteConnection::SetFileRevision(uint64_t fileId, uint64_t revision, int32_t version) {
    Exec(Statement(L"UPDATE %s SET revision=%llu, version=%d WHERE file_id=%llu", FileTable(), revision, version,
                   fileId));
}

void CSQLiteConnection::SetFileStatus(std::wstring_view name, int32_t status) {
    ExecBound(Statement(L"UPDATE %s SET status=%d WHERE name=?", FileTable(), status), {BoundName(name)});
}

void CSQLiteConnection::SetFileStatus(uint64_t fileId, int32_t status) {
    Exec(Statement(L"UPDATE %s SET status=%d WHERE file_id=%llu", FileTable(), status, fileId));
}

void CSQLiteConnection::RenameFileRow(std::wstring_view oldName, std::wstring_view newName, bool isFolder) {
    const std::wstring_view oldRow = sqltext::StripTrailingBackslashes(oldName);
    const std::wstring_view newRow = sqltext::StripTrailingBackslashes(newName);
    ChildRenames children;
    if (isFolder) children = PlanRenameChildren(oldRow, newRow);
    ExecBound(Statement(L"UPDATE %s SET name=?, status=%d WHERE name=?", FileTable(), FILE_STATUS_CHANGED),
              {BoundName(newRow), BoundName(oldRow)});
    ApplyRenameChildren(children);
}

void CSQLiteConnection::RenameChildren(std::wstring_view oldFolder, std::wstring_view newFolder) {
    ApplyRenameChildren(PlanRenameChildren(oldFolder, newFolder));
}

CSQLiteConnection::ChildRenames CSQLiteConnection::PlanRenameChildren(std::wstring_view oldFolder,
                                                                       std::wstring_view newFolder) {
    // A folder given as Docs\ still means the rows under Docs.
    const std::wstring_view oldRow = sqltext::StripTrailingBackslashes(oldFolder);
    const std::wstring_view newRow = sqltext::StripTrailingBackslashes(newFolder);
    CSQLiteStatement statement;
    Prepare(Statement(L"SELECT file_id, name FROM %s WHERE %s", FileTable(), sqltext::kUnderFolder), statement,
            {sqltext::UnderFolderPattern(oldRow)});
    ChildRenames renames;
    std::wstring name;
    while (statement.Step()) {
        statement.ColumnText(1, name, sqltext::kMaxNameChars);
        if (name.size() <= oldRow.size()) continue;
        // What is left begins with the backslash after the folder's name;
        // a new name that no longer fits refuses the whole rename.
        std::wstring renamed = std::wstring(newRow) + name.substr(oldRow.size());
        renames.push_back({static_cast<uint64_t>(statement.ColumnInt64(0)), sqltext::BoundText(renamed)});
    }
    return renames;
}

void CSQLiteConnection::ApplyRenameChildren(const ChildRenames& renames) {
    for (const ChildRename& rename : renames) {
        ExecBound(Statement(L"UPDATE %s SET name=? WHERE file_id=%llu", FileTable(), rename.fileId),
                  {rename.newName});
    }
}

void CSQLiteConnection::DeleteFile(std::wstring_view name) {
    ExecBound(Statement(L"DELETE FROM %s WHERE name=?", FileTable()), {BoundName(name)});
}

void CSQLiteConnection::DeleteFile(uint64_t fileId) {
    Exec(Statement(L"DELETE FROM %s WHERE file_id=%llu", FileTable(), fileId));
}

void CSQLiteConnection::DeleteFilesUnder(std::wstring_view folder) {
    ExecBound(Statement(L"DELETE FROM %s WHERE %s", FileTable(), sqltext::kUnderFolder),
              {sqltext::UnderFolderPattern(folder)});
}
