#include "BrelioServices/LocalStorage.h"

#include "BrelioServices/Log.h"
#include "BrelioServices/RelativePath.h"

CLocalStorage::CLocalStorage(CNamedMutex* mutex, const wchar_t* databasePath, const wchar_t* rootFolder)
    : m_mutex(mutex), m_databasePath(databasePath), m_rootFolder(rootFolder) {}

HRESULT CLocalStorage::Run(const wchar_t* operation, OpenMode mode, const Work& work) {
    int failure = 0;
    HRESULT result = E_FAIL;
    {
        CNamedMutexLock lock(m_mutex);
        if (!lock.IsHeld()) {
            Log(L"%s Lock failed: %lu", operation, lock.WaitResult());
            return E_FAIL;
        }
        // The connection lives in the try block: it is closed, on every
        // path, before the lock releases the mutex.
        try {
            CSQLiteConnection connection;
            connection.OpenCurrent(m_databasePath, mode);
            if (mode == OpenMode::ReadOnly) {
                result = work(connection);
            } else {
                // An operation of several statements (a folder's rename
                // with its children, a read-and-clear) must never be left
                // half-written by a crash.
                CSQLiteTransaction transaction(connection);
                result = work(connection);
                transaction.Commit();
            }
        } catch (int code) {
            failure = code;
        }
    }
    // Logging waits for a busy log file (up to 3.2 s); nobody else should
    // wait for the storage mutex meanwhile.
    if (failure == 0) return result;
    Log(L"%s Exception: %d", operation, failure);
    return E_FAIL;
}

std::wstring CLocalStorage::RowName(const wchar_t* path) const {
    const wchar_t* name = GetRelativePath(path, m_rootFolder);
    return name ? name : L"";
}

FileRecord CLocalStorage::RecordOf(const FileInfo& info, const wchar_t* path, uint64_t size, uint64_t lastWriteTime,
                                   int status) const {
    FileRecord record;
    record.file_id = info.id;
    record.name = RowName(path);
    record.is_folder = !IsFileType(info.type.c_str());
    record.size = size;
    record.last_write_time = lastWriteTime;
    record.hash = info.hash;
    record.revision = info.revision;
    record.version = info.version;
    record.status = status;
    return record;
}

HRESULT CLocalStorage::GetChanges(ChangeRecordList& changes, bool clear) {
    // A read alone takes no write transaction: the sync thread reads the
    // changes for every item it looks at.
    return Run(L"GetChanges", clear ? OpenMode::ReadWrite : OpenMode::ReadOnly, [&](CSQLiteConnection& db) {
        db.ReadChanges(changes);
        if (clear) db.ClearChanges();
        return S_OK;
    });
}

HRESULT CLocalStorage::DeleteChanges(const std::vector<int64_t>& rowIds) {
    if (rowIds.empty()) return S_OK;
    return Run(L"DeleteChanges", OpenMode::ReadWrite, [&](CSQLiteConnection& db) {
        db.DeleteChanges(rowIds);
        return S_OK;
    });
}

HRESULT CLocalStorage::GetFile(const wchar_t* path, FileRecord& record) {
    const std::wstring name = RowName(path);
    return Run(L"GetFile", OpenMode::ReadOnly,
               [&](CSQLiteConnection& db) { return db.GetFile(name, record) ? S_OK : S_FALSE; });
}

HRESULT CLocalStorage::GetFile(uint64_t fileId, FileRecord& record) {
    return Run(L"GetFile", OpenMode::ReadOnly,
               [&](CSQLiteConnection& db) { return db.GetFile(fileId, record) ? S_OK : S_FALSE; });
}

HRESULT CLocalStorage::GetFile(uint64_t fileId, const wchar_t* path, uint64_t& parentId, uint64_t& revision) {
    const std::wstring name = RowName(path);
    return Run(L"GetFile", OpenMode::ReadOnly, [&](CSQLiteConnection& db) {
        return db.GetFileAndParent(fileId, name, parentId, revision) ? S_OK : S_FALSE;
    });
}

HRESULT CLocalStorage::GetFileStatus(const wchar_t* path, int& status) {
    const std::wstring name = RowName(path);
    return Run(L"GetFileStatus", OpenMode::ReadOnly, [&](CSQLiteConnection& db) {
        status = db.GetFileStatus(name);
        return S_OK;
    });
}

HRESULT CLocalStorage::GetFileStatus(uint64_t fileId, int& status) {
    return Run(L"GetFileStatus", OpenMode::ReadOnly, [&](CSQLiteConnection& db) {
        status = db.GetFileStatus(fileId);
        return S_OK;
    });
}

HRESULT CLocalStorage::GetFileStatus(uint64_t fileId, int& status, ChangeRecordList& changes) {
    return Run(L"GetFileStatus", OpenMode::ReadOnly, [&](CSQLiteConnection& db) {
        status = db.GetFileStatus(fileId);
        if (status != FILE_STATUS_SYNCED) db.ReadChanges(changes);
        return S_OK;
    });
}

HRESULT CLocalStorage::GetLatestRevision(uint64_t& revision) {
    return Run(L"GetLatestRevision", OpenMode::ReadOnly, [&](CSQLiteConnection& db) {
        revision = db.GetLatestRevision();
        return S_OK;
    });
}

HRESULT CLocalStorage::GetRevisions(const std::vector<uint64_t>& fileIds,
                                    std::unordered_map<uint64_t, uint64_t>& revisions) {
    if (fileIds.empty()) return S_OK;
    return Run(L"GetRevisions", OpenMode::ReadOnly, [&](CSQLiteConnection& db) {
        db.GetRevisions(fileIds, revisions);
        return S_OK;
    });
}

HRESULT CLocalStorage::GetWalkRefused(bool& refused) {
    return Run(L"GetWalkRefused", OpenMode::ReadOnly, [&](CSQLiteConnection& db) {
        refused = db.IsWalkRefused();
        return S_OK;
    });
}

HRESULT CLocalStorage::SetWalkRefused(bool refused) {
    return Run(L"SetWalkRefused", OpenMode::ReadWrite, [&](CSQLiteConnection& db) {
        db.SetWalkRefused(refused);
        return S_OK;
    });
}

HRESULT CLocalStorage::GetParentFileId(const wchar_t* path, uint64_t& parentId) {
    const std::wstring name = RowName(path);
    return Run(L"GetParentFileId", OpenMode::ReadOnly,
               [&](CSQLiteConnection& db) { return db.GetParentFileId(name, parentId) ? S_OK : S_FALSE; });
}

HRESULT CLocalStorage::InsertChanges(const ChangeRecordList& changes) {
    return Run(L"InsertChanges", OpenMode::ReadWrite, [&](CSQLiteConnection& db) {
        db.InsertChanges(changes);
        return S_OK;
    });
}

HRESULT CLocalStorage::InsertFile(const FileInfo& info, const wchar_t* path, uint64_t size, uint64_t lastWriteTime,
                                  int status) {
    const FileRecord record = RecordOf(info, path, size, lastWriteTime, status);
    const HRESULT result = Run(L"InsertFile", OpenMode::ReadWrite, [&](CSQLiteConnection& db) {
        switch (db.FindFileRow(record.file_id, record.name)) {
        case CSQLiteConnection::RowMatch::kId: db.UpdateFile(record); break;
        case CSQLiteConnection::RowMatch::kName: db.UpdateFileByName(record); break;
        case CSQLiteConnection::RowMatch::kNone: db.InsertFile(record); break;
        }
        return S_OK;
    });
    if (SUCCEEDED(result)) Log(L"%s - inserted(%llu, %d).", path, record.revision, record.version);
    return result;
}

HRESULT CLocalStorage::InsertFile(const ChangeInfo& change, const wchar_t* path) {
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    const uint64_t written = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return InsertFile(change.file, path, 0, written, FILE_STATUS_SYNCED);
}

HRESULT CLocalStorage::SetFileName(const FileRecord& record, const wchar_t* oldPath, const wchar_t* newPath,
                                   const std::string& hash, uint64_t revision) {
    const std::wstring oldName = RowName(oldPath);
    FileRecord renamed = record;
    renamed.name = RowName(newPath);
    renamed.hash = hash;
    renamed.revision = revision;
    return Run(L"SetFileName", OpenMode::ReadWrite, [&](CSQLiteConnection& db) {
        // The rows beneath are checked before the folder's row is written.
        CSQLiteConnection::ChildRenames children;
        if (renamed.is_folder) children = db.PlanRenameChildren(oldName, renamed.name);
        db.UpdateFile(renamed);
        db.ApplyRenameChildren(children);
        return S_OK;
    });
}

HRESULT CLocalStorage::SetFileName(uint64_t fileId, const wchar_t* oldPath, const wchar_t* newPath,
                                   const std::string& hash, uint64_t revision) {
    const std::wstring oldName = RowName(oldPath);
    const std::wstring newName = RowName(newPath);
    return Run(L"SetFileName", OpenMode::ReadWrite, [&](CSQLiteConnection& db) {
        FileRecord row;
        if (!db.GetFile(fileId, row)) return S_OK;
        row.name = newName;
        row.hash = hash;
        row.revision = revision;
        row.status = FILE_STATUS_SYNCED;
        CSQLiteConnection::ChildRenames children;
        if (row.is_folder) children = db.PlanRenameChildren(oldName, newName);
        db.UpdateFile(row);
        db.ApplyRenameChildren(children);
        return S_OK;
    });
}

HRESULT CLocalStorage::SetFileRevision(uint64_t fileId, uint64_t revision, int version) {
    return Run(L"SetFileRevision", OpenMode::ReadWrite, [&](CSQLiteConnection& db) {
        db.SetFileRevision(fileId, revision, version);
        return S_OK;
    });
}

HRESULT CLocalStorage::SetFileStatus(const wchar_t* path, bool isFolder, int status) {
    const std::wstring name = RowName(path);
    return Run(L"SetFileStatus", OpenMode::ReadWrite, [&](CSQLiteConnection& db) {
        if (status != FILE_STATUS_DELETE) {
            db.SetFileStatus(name, status);
            return S_OK;
        }
        db.DeleteFile(name);
        if (isFolder) db.DeleteFilesUnder(name);
        return S_OK;
    });
}

HRESULT CLocalStorage::SetFileStatus(uint64_t fileId, bool isFolder, int status) {
    return Run(L"SetFileStatus", OpenMode::ReadWrite, [&](CSQLiteConnection& db) {
        if (status != FILE_STATUS_DELETE) {
            db.SetFileStatus(fileId, status);
            return S_OK;
        }
        FileRecord folder;
        const bool hasBeneath = isFolder && db.GetFile(fileId, folder);
        db.DeleteFile(fileId);
        if (hasBeneath) db.DeleteFilesUnder(folder.name);
        return S_OK;
    });
}

HRESULT CLocalStorage::SetLatestRevision(uint64_t revision) {
    return Run(L"SetLatestRevision", OpenMode::ReadWrite, [&](CSQLiteConnection& db) {
        db.SetLatestRevision(revision);
        return S_OK;
    });
}

HRESULT CLocalStorage::UpdateFile(const FileInfo& info, const wchar_t* path, uint64_t size, uint64_t lastWriteTime,
                                  bool byName) {
    const FileRecord record = RecordOf(info, path, size, lastWriteTime, FILE_STATUS_SYNCED);
    const HRESULT result = Run(L"UpdateFile", OpenMode::ReadWrite, [&](CSQLiteConnection& db) {
        if (byName)
            db.UpdateFileByName(record);
        else
            db.UpdateFile(record);
        return S_OK;
    });
    if (SUCCEEDED(result)) Log(L"%s - updated(%llu, %d)", path, record.revision, record.version);
    return result;
}

HRESULT CLocalStorage::UpdateFile(const FileInfo& info, const wchar_t* path) {
    const std::wstring name = RowName(path);
    const HRESULT result = Run(L"UpdateFile", OpenMode::ReadWrite, [&](CSQLiteConnection& db) {
        db.UpdateFileMeta(info.id, name, info.hash, info.revision, info.version);
        return S_OK;
    });
    if (SUCCEEDED(result)) Log(L"%s - updated(%llu, %d)", path, info.revision, info.version);
    return result;
}
