#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "BrelioCore/JXSRWLock.h"

// The paths (relative to the sync root) that the sync thread is writing
// right now, so that the monitor drops the events its own writes cause.
// An entry per Add: two overlapping writes on one path keep it ignored
// until both have removed theirs. Letter case does not count. An entry
// with one '*' stands for every name it matches within its folder: a
// transfer's temporary file, whose name is known only once it exists.
class CIgnoreList {
public:
    void Add(const wchar_t* path);
    void AddPair(const wchar_t* oldPath, const wchar_t* newPath);
    bool IsIgnored(const wchar_t* path);
    void Remove(const wchar_t* path);
    void RemovePair(const wchar_t* oldPath, const wchar_t* newPath);
    // Takes the entry out once the time has passed, without making the
    // caller wait for it: the monitor reads a write's events a little
    // after the write.
    void RemoveAfter(const wchar_t* path, DWORD milliseconds);
    void RemovePairAfter(const wchar_t* oldPath, const wchar_t* newPath, DWORD milliseconds);

private:
    struct Entry {
        std::wstring path;
        ULONGLONG expiry = 0;  // GetTickCount64 time it goes; 0 while held
    };
    void RemoveLocked(const std::wstring& lowered);
    void ExpireLocked(const std::wstring& lowered, ULONGLONG expiry);
    void PruneLocked();
    static bool Matches(const std::wstring& entry, const std::wstring& lowered);

    CJXSRWLock m_lock;
    std::vector<Entry> m_entries;
};

// The path in lower case, as the list keeps it.
std::wstring LowerPath(const wchar_t* path);
