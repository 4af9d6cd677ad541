#pragma once
#include <windows.h>

#include <cstdint>

#include "BrelioServices/FileStamp.h"

// Tells one state of a database file from another without reading it
// through SQLite: when the file was made and when it last changed in any
// way (a file put in its place by a rename, or made anew, has times of its
// own), its size and last write, and the change counter of its header,
// which SQLite raises with every write transaction of any connection (in
// the rollback-journal mode that the program's database keeps). Asking
// for the volume and file index instead costs half a millisecond under
// Wine, more than the storage operation it would spare.
struct DatabaseStamp {
    FileStamp file;
    uint32_t changeCounter = 0;
    bool operator==(const DatabaseStamp&) const = default;
};

// False when the file cannot be read now (missing, held open by another
// program without sharing, no access) or is not an SQLite database: there
// is nothing to answer from. Opens the file for reading, sharing it with
// everyone, and reads its header only.
[[nodiscard]] bool ReadDatabaseStamp(const wchar_t* path, DatabaseStamp& stamp);
// The same through a handle open for reading (SQLite's own, for one),
// whose file pointer it leaves where it was.
[[nodiscard]] bool ReadDatabaseStamp(HANDLE file, DatabaseStamp& stamp);
