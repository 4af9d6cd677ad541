#pragma once
#include <windows.h>

#include <cstdint>

// Tells one state of a database file from another without reading it
// through SQLite: which file it is (volume and file index), its size and
// last write, and the change counter of its header, which SQLite raises
// with every write transaction of any connection (in the rollback-journal
// mode that the program's database keeps).
struct DatabaseStamp {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    uint64_t size = 0;
    uint64_t lastWrite = 0;
    uint32_t changeCounter = 0;
    bool operator==(const DatabaseStamp&) const = default;
};

// False when the file cannot be read now (missing, held open by another
// program without sharing, no access) or is not an SQLite database: there
// is nothing to answer from. Opens the file for reading, sharing it with
// everyone, and reads its header only.
[[nodiscard]] bool ReadDatabaseStamp(const wchar_t* path, DatabaseStamp& stamp);
