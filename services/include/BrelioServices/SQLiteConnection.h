#pragma once
// DeleteFile is also a Windows macro: every user of this class must see the
// same name, so the header brings the macro with it.
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "BrelioServices/DatabaseStamp.h"
#include "BrelioServices/SQLiteStatement.h"
#include "BrelioServices/StorageRecords.h"

struct sqlite3;

// Schema version of the database file (0x00010003).
constexpr int kLocalStorageSchemaVersion = 65539;

enum class OpenMode { ReadOnly, ReadWrite };

// Owner of one connection to the local database; closes it on every exit.
// Every SQLite failure, and every text over its limit, is thrown as a
// plain int (see SQLiteText.h). The caller holds the storage mutex from
// Open to Close; statements run in autocommit mode, one at a time.
class CSQLiteConnection {
public:
    using BoundTexts = std::initializer_list<std::string_view>;

    CSQLiteConnection() = default;
    ~CSQLiteConnection() { Close(); }
    CSQLiteConnection(const CSQLiteConnection&) = delete;
    CSQLiteConnection& operator=(const CSQLiteConnection&) = delete;

    // Read-write creates a missing file; read-only fails on it.
    void Open(const wchar_t* path, OpenMode mode);
    // Opens and refuses (kSchemaMismatch, or the SQLite error) a file that
    // is not a database of our schema version, before anything is written.
    // A file is looked at once while it stays as this process last saw it
    // (see CurrentSchemaStamps.h), not at every open.
    void OpenCurrent(const wchar_t* path, OpenMode mode);
    void Close();

    // Runs a statement without bound texts. With a result, stores the first
    // column of the last row (left as it was when there is no row); a NULL
    // or non-number there is thrown as SQLITE_MISMATCH.
    void Exec(const std::wstring& statement, int* result = nullptr);
    // Prepares a statement (UTF-8 texts bound to "?" in order) for the
    // caller to step.
    void Prepare(const std::wstring& statement, CSQLiteStatement& out, BoundTexts texts = {});
    // Prepares, binds, steps once; with a result, stores column 0 of a row.
    void ExecBound(const std::wstring& statement, BoundTexts texts, int* result = nullptr);

    static const wchar_t* TableName(int index);
    bool TableExists(const wchar_t* name);
    // Creates one of the tables of the table-name list; any other name does
    // nothing.
    void CreateTable(const wchar_t* name);
    // The version row of the open file, or -1 when there is none or it is
    // not a number; a file without the config table throws.
    int ReadSchemaVersion();

    // The file's schema version; -1 when it has none or cannot be read. A
    // missing file is created (empty) on the way.
    static int GetDatabaseVersion(const wchar_t* path);
    // Creates the missing tables of a new or half-made database file. A
    // file of another version, or with tables but no version, is left as it
    // is and gives -1, as does any failure.
    static int CreateDatabase(const wchar_t* path);

    // Rows of the file table. Names are stripped of trailing backslashes.
    bool FileExists(std::wstring_view name);
    bool FileExists(uint64_t fileId);
    // Which row an item of that id and name would be written to, asked in
    // one statement: the row of the id before the row of the name.
    enum class RowMatch { kNone, kName, kId };
    RowMatch FindFileRow(uint64_t fileId, std::wstring_view name);
    bool GetFile(std::wstring_view name, FileRecord& record);
    bool GetFile(uint64_t fileId, FileRecord& record);
    int GetFileStatus(std::wstring_view name);
    int GetFileStatus(uint64_t fileId);
    // The parent folder's id: kRootFolderId for an item directly in the sync
    // folder, kUnknownParentId when the parent has no folder row. Returns
    // whether the parent is known.
    bool GetParentFileId(std::wstring_view name, uint64_t& parentId);
    // The row by id (when not 0) or by name; the parent id is looked up from
    // the name whether or not the row exists. The revision is set only when
    // the row exists.
    bool GetFileAndParent(uint64_t fileId, std::wstring_view name, uint64_t& parentId, uint64_t& revision);
    // The revision of every row among the ids, in one statement per batch
    // of ids; an id without a row is left out.
    void GetRevisions(const std::vector<uint64_t>& fileIds, std::unordered_map<uint64_t, uint64_t>& revisions);
    // The highest non-zero status of the rows under the folder, or 0.
    int GetFolderStatus(std::wstring_view folder);

    void InsertFile(const FileRecord& record);
    void UpdateFile(const FileRecord& record);
    // Also moves the row of that name to the record's file_id.
    void UpdateFileByName(const FileRecord& record);
    void UpdateFileMeta(uint64_t fileId, std::wstring_view name, std::string_view hash, uint64_t revision,
                        int32_t version);
    void SetFileRevision(uint64_t fileId, uint64_t revision, int32_t version);
    void SetFileStatus(std::wstring_view name, int32_t status);
    void SetFileStatus(uint64_t fileId, int32_t status);
    // Renames a row and marks it changed; for a folder, its rows beneath too.
    void RenameFileRow(std::wstring_view oldName, std::wstring_view newName, bool isFolder);
    void RenameChildren(std::wstring_view oldFolder, std::wstring_view newFolder);
    // The same in two steps, so that a caller can refuse a rename whose new
    // names do not fit before it writes anything.
    struct ChildRename {
        uint64_t fileId;
        std::string newName;  // UTF-8, checked
    };
    using ChildRenames = std::vector<ChildRename>;
    ChildRenames PlanRenameChildren(std::wstring_view oldFolder, std::wstring_view newFolder);
    void ApplyRenameChildren(const ChildRenames& renames);
    void DeleteFile(std::wstring_view name);
    void DeleteFile(uint64_t fileId);
    void DeleteFilesUnder(std::wstring_view folder);

    // Rows of the change table.
    void AddChange(std::wstring_view name, std::wstring_view oldName, bool isFolder, int32_t action);
    void InsertChange(std::wstring_view name, std::wstring_view oldName, bool isFolder, int32_t action,
                      uint64_t fileId);
    void InsertChanges(const ChangeRecordList& changes);
    // Appends the change rows in the order they were recorded.
    void ReadChanges(ChangeRecordList& changes);
    void ClearChanges();
    // Deletes the change rows of those row ids (a missing one is no error).
    void DeleteChanges(const std::vector<int64_t>& rowIds);
    bool ChangeExists(std::wstring_view oldName, int32_t action);

    // Whether a walk of the sync folder was refused and none has succeeded
    // since. Kept in the file's header (SQLite's user version), outside the
    // tables: they are a stored format that the overlay library reads too,
    // and the mark lives and goes with the rows it speaks of (a file made
    // anew holds neither).
    bool IsWalkRefused();
    void SetWalkRefused(bool refused);

    // The config row.
    uint64_t GetLatestRevision();
    // A non-zero revision is stored as it is; 0 raises the stored value to
    // the highest file revision when that is higher.
    void SetLatestRevision(uint64_t revision);

private:
    // The state of the open file; false when it cannot be read.
    bool ReadStamp(DatabaseStamp& stamp);

    sqlite3* m_connection = nullptr;
    // Opened by OpenCurrent, and found current.
    bool m_current = false;
};

// Makes the statements between its start and Commit one unit: all of them
// are written, or none (a failure thrown on the way, or the process killed
// in between, leaves the file as it was).
class CSQLiteTransaction {
public:
    // Takes the write lock at once, so that the unit never fails half-way
    // for want of it.
    explicit CSQLiteTransaction(CSQLiteConnection& db);
    // Rolls back what was not committed; never throws.
    ~CSQLiteTransaction();
    CSQLiteTransaction(const CSQLiteTransaction&) = delete;
    CSQLiteTransaction& operator=(const CSQLiteTransaction&) = delete;

    void Commit();

private:
    CSQLiteConnection& m_db;
    bool m_open = false;
};
