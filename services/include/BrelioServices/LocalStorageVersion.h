#pragma once
#include <windows.h>

#include <string>

class CNamedMutex;

// What a look at the sync folder's database file found.
enum class StorageFileState {
    Missing,  // no file: a new one is to be made
    Current,  // a database of this program's schema version
    Foreign,  // readable, but not a database of our version (or none)
};

// Reads the file's schema version under the storage mutex, after rolling
// back a journal that a writer killed in the middle of a write left. A
// file that cannot be read for now (held by another program, locked by a
// writer, a journal that cannot be rolled back without write access, out
// of memory or disk) is a failure, never taken for a foreign file: the
// caller must not replace what it could not read.
[[nodiscard]] HRESULT ReadLocalStorageState(CNamedMutex& mutex, const wchar_t* path, StorageFileState& state);

// A new, empty database in place of the file at the path: the old file and
// a journal left beside it (which would be played into the new one) go to
// the recycle bin first. On failure (logged) what could not be moved stays
// where it is.
[[nodiscard]] HRESULT ReplaceLocalStorageFile(CNamedMutex& mutex, const std::wstring& path);

// The start-up look at the sync folder's database. S_OK: the file is of our
// version and kept, or it cannot be read for now (busy, locked; logged) and
// is kept as it is. S_FALSE: it was made anew, or, missing on a first run,
// it is left for the folder the first-run options choose. A failed
// replacement is the result, and the engine is not to start on the file.
[[nodiscard]] HRESULT CheckLocalStorageFile(CNamedMutex& mutex, const std::wstring& path, bool firstRun);
