#pragma once
#include <windows.h>

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
