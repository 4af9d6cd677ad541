#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// One selected remote folder: its path relative to the sync root
// (backslashes, no leading backslash) and its remote id.
struct SyncFolderEntry {
    std::wstring path;
    uint64_t folderId = 0;
};

// The folders chosen for selective sync, in the order they were chosen;
// empty means the whole drive. Written on the UI thread and read by the
// workers, so every operation holds the list's own lock. No operation
// holds two lists' locks at once: the other list is copied first.
class CSyncFolderList {
public:
    // Throws the HRESULT when the lock cannot be made.
    CSyncFolderList();
    ~CSyncFolderList();
    CSyncFolderList(const CSyncFolderList&) = delete;
    CSyncFolderList& operator=(const CSyncFolderList&) = delete;

    void Add(const wchar_t* path, uint64_t folderId);
    // A copy of the entries, for a caller that walks them while the list
    // may change.
    std::vector<SyncFolderEntry> GetEntries() const;

    // Counts and paths in order (ignoring letter case); ids do not count.
    bool IsDifferent(const CSyncFolderList& other) const;
    // Some entry is the path itself or a folder above it, by whole components.
    bool ContainsPathPrefix(const wchar_t* path) const;
    bool Contains(const wchar_t* path) const;
    void CopyFrom(const CSyncFolderList& other, bool append);
    bool IsEmpty() const;
    void Clear();

    // Replaces the entries by the REG_QWORD values of the key (name = path,
    // data = id), in enumeration order. A value of another type or size,
    // or a name longer than MAX_PATH, is skipped and the result is
    // HRESULT_FROM_WIN32(ERROR_INVALID_DATA); the rest is still loaded.
    // When the key cannot be queried the list stays as it was.
    [[nodiscard]] HRESULT LoadFromKey(HKEY key);
    // Writes one REG_QWORD per entry; existing values stay. Returns the
    // first write failure (the other entries are still written).
    [[nodiscard]] HRESULT SaveToKey(HKEY key) const;

private:
    class Guard;
    mutable CRITICAL_SECTION m_lock;
    std::vector<SyncFolderEntry> m_entries;
};
