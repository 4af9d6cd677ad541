#include "BrelioServices/LocalStorageVersion.h"

#include <sqlite3.h>

#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/SQLiteConnection.h"

namespace {

// SQLite results that say the file could not be read this time, not what
// it holds. Read-only is among them: a journal that a writer killed in the
// middle of a write left behind must be rolled back before the file can be
// read, and that needs write access this time did not have.
bool IsPassingFailure(int code) {
    switch (code & 0xFF) {
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_NOMEM:
    case SQLITE_INTERRUPT:
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_PROTOCOL:
        return true;
    default:
        return false;
    }
}

}  // namespace

HRESULT ReadLocalStorageState(CNamedMutex& mutex, const wchar_t* path, StorageFileState& state) {
    CNamedMutexLock lock(&mutex);
    if (::GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return HRESULT_FROM_WIN32(error);
        state = StorageFileState::Missing;
        return S_OK;
    }
    try {
        // Opened for writing, so that SQLite rolls back a journal left by a
        // writer that was killed: the file is then what it held before that
        // write, and judged by that. Nothing else is written.
        CSQLiteConnection connection;
        connection.Open(path, OpenMode::ReadWrite);
        const bool current = connection.TableExists(CSQLiteConnection::TableName(0)) &&
                             connection.ReadSchemaVersion() == kLocalStorageSchemaVersion;
        state = current ? StorageFileState::Current : StorageFileState::Foreign;
        return S_OK;
    } catch (int code) {
        if (IsPassingFailure(code)) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, code & 0xFFFF);
        state = StorageFileState::Foreign;
        return S_OK;
    }
}
