#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "BrelioServices/ApiRecords.h"
#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/SQLiteConnection.h"
#include "BrelioServices/StorageRecords.h"

// The sync engine's gate to the local database. Each operation is one unit
// of work: take the storage mutex, open the file, run its statements, close
// the file, release the mutex. Nothing stays open in between, so other
// threads and the overlay library in Explorer interleave safely.
//
// Paths are full paths; rows are named relative to the root folder. Results
// are S_OK, S_FALSE (no row) or E_FAIL; a failure is logged as
// "<operation> Exception: <SQLite code>". The code 24 means the file is not
// a database of our schema version; it is then left untouched. The object
// borrows the mutex and both texts, which must outlive it.
class CLocalStorage {
public:
    CLocalStorage(CNamedMutex* mutex, const wchar_t* databasePath, const wchar_t* rootFolder);
    CLocalStorage(const CLocalStorage&) = delete;
    CLocalStorage& operator=(const CLocalStorage&) = delete;

    // Removes rows older than 30 days whose item is gone from the folder.
    [[nodiscard]] HRESULT Cleanup();
    // Appends the recorded changes in their order; with clear, removes them
    // under the same hold of the mutex, so none is lost in between.
    [[nodiscard]] HRESULT GetChanges(ChangeRecordList& changes, bool clear);
    // Deletes the change rows of a record whose action was carried out.
    [[nodiscard]] HRESULT DeleteChanges(const std::vector<int64_t>& rowIds);
    // S_OK with the record, or S_FALSE with the record untouched.
    [[nodiscard]] HRESULT GetFile(const wchar_t* path, FileRecord& record);
    [[nodiscard]] HRESULT GetFile(uint64_t fileId, FileRecord& record);
    // S_OK when the item's row exists (by id when not 0, else by path),
    // S_FALSE when not; the revision is set only when it exists. The parent
    // id is looked up either way: kRootFolderId for an item directly in the
    // sync folder, the parent folder's id, or kUnknownParentId.
    [[nodiscard]] HRESULT GetFile(uint64_t fileId, const wchar_t* path, uint64_t& parentId, uint64_t& revision);
    // Status 0 when there is no row.
    [[nodiscard]] HRESULT GetFileStatus(const wchar_t* path, int& status);
    [[nodiscard]] HRESULT GetFileStatus(uint64_t fileId, int& status);
    // The same, and when the row is missing or not in sync also the recorded
    // changes, in the same operation: what a caller then looks through for
    // a pending rename of the item.
    [[nodiscard]] HRESULT GetFileStatus(uint64_t fileId, int& status, ChangeRecordList& changes);
    // 0 when none is stored.
    [[nodiscard]] HRESULT GetLatestRevision(uint64_t& revision);
    // The revision of every row among the ids, read in one operation; an id
    // without a row is left out.
    [[nodiscard]] HRESULT GetRevisions(const std::vector<uint64_t>& fileIds,
                                       std::unordered_map<uint64_t, uint64_t>& revisions);
    // A walk of the sync folder was refused (the folder missing or empty
    // while items were recorded in sync) and no walk has succeeded since:
    // the rows then say nothing of which items the user deleted.
    [[nodiscard]] HRESULT GetWalkRefused(bool& refused);
    [[nodiscard]] HRESULT SetWalkRefused(bool refused);
    // S_OK with kRootFolderId or the parent folder's id; S_FALSE with
    // kUnknownParentId when the parent has no folder row.
    [[nodiscard]] HRESULT GetParentFileId(const wchar_t* path, uint64_t& parentId);
    [[nodiscard]] HRESULT InsertChanges(const ChangeRecordList& changes);
    // Updates the row of the same id, else the row of the same name (which
    // takes the new id), else inserts a new row.
    [[nodiscard]] HRESULT InsertFile(const FileInfo& info, const wchar_t* path, uint64_t size, uint64_t lastWriteTime,
                                     int status);
    // A downloaded change: size 0, written now, in sync.
    [[nodiscard]] HRESULT InsertFile(const ChangeInfo& change, const wchar_t* path);
    // Renames the record's row (and, for a folder, the rows beneath) with
    // the given hash and revision; the rest comes from the record.
    [[nodiscard]] HRESULT SetFileName(const FileRecord& record, const wchar_t* oldPath, const wchar_t* newPath,
                                      const std::string& hash, uint64_t revision);
    // The same for the row of that id, which is then in sync; no row, no
    // change.
    [[nodiscard]] HRESULT SetFileName(uint64_t fileId, const wchar_t* oldPath, const wchar_t* newPath,
                                      const std::string& hash, uint64_t revision);
    [[nodiscard]] HRESULT SetFileRevision(uint64_t fileId, uint64_t revision, int version);
    // Status 3 deletes the row, and for a folder every row beneath it.
    [[nodiscard]] HRESULT SetFileStatus(const wchar_t* path, bool isFolder, int status);
    [[nodiscard]] HRESULT SetFileStatus(uint64_t fileId, bool isFolder, int status);
    // 0 raises the stored revision to the highest file revision.
    [[nodiscard]] HRESULT SetLatestRevision(uint64_t revision);
    // Writes the row in sync, found by name (taking the info's id) or by id.
    [[nodiscard]] HRESULT UpdateFile(const FileInfo& info, const wchar_t* path, uint64_t size, uint64_t lastWriteTime,
                                     bool byName);
    // Name, hash, revision and version only.
    [[nodiscard]] HRESULT UpdateFile(const FileInfo& info, const wchar_t* path);

private:
    using Work = std::function<HRESULT(CSQLiteConnection&)>;
    [[nodiscard]] HRESULT Run(const wchar_t* operation, OpenMode mode, const Work& work);
    std::wstring RowName(const wchar_t* path) const;
    FileRecord RecordOf(const FileInfo& info, const wchar_t* path, uint64_t size, uint64_t lastWriteTime,
                        int status) const;

    CNamedMutex* m_mutex;
    const wchar_t* m_databasePath;
    const wchar_t* m_rootFolder;
};
