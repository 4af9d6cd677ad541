#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "BrelioCore/JXEvent.h"
#include "BrelioCore/JXSRWLock.h"
#include "BrelioSync/ItemState.h"

// What the sync thread left at a path it wrote, taken when its write ended.
struct WrittenItem {
    std::wstring fullPath;
    ItemState state;
};

// A path the sync thread wrote, once it is no longer masked: what the write
// left there and what stands there now. When they differ, a local edit was
// made while its events were taken for the write's own.
struct ReleasedWrite {
    std::wstring fullPath;
    ItemState written;
    ItemState now;
};

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
    // after the write. With what the write left there, the path is
    // compared with it once it is out (TakeReleasedWrites).
    void RemoveAfter(const wchar_t* path, DWORD milliseconds, std::optional<WrittenItem> written = std::nullopt);
    void RemovePairAfter(const wchar_t* oldPath, const wchar_t* newPath, DWORD milliseconds,
                         std::optional<WrittenItem> oldWritten = std::nullopt,
                         std::optional<WrittenItem> newWritten = std::nullopt);

    // The written paths that are out of the list by now, each handed out
    // once. A path that a later write masks again is left to that write's
    // own release, and one that cannot be examined is left out.
    std::vector<ReleasedWrite> TakeReleasedWrites();
    // Milliseconds until the next written path comes out (0: one is out
    // already), INFINITE when none is due.
    DWORD TimeToNextRelease();
    // Set (auto-reset) whenever a written path is given its time to come
    // out: a thread that waits for the comparisons computes its wait anew.
    HANDLE ReleaseScheduledEvent() const { return m_releaseScheduled; }

private:
    // Written paths out of the list that nobody took yet; past this many,
    // the oldest are forgotten (no storage-update thread is running).
    static constexpr size_t kMaxReleased = 1024;

    struct Entry {
        std::wstring path;
        ULONGLONG expiry = 0;  // GetTickCount64 time it goes; 0 while held
        std::optional<WrittenItem> written;
    };
    void RemoveLocked(const std::wstring& lowered);
    void ExpireLocked(const std::wstring& lowered, ULONGLONG expiry, std::optional<WrittenItem> written);
    void PruneLocked();
    void KeepReleasedLocked(const Entry& entry);
    bool IsMaskedLocked(const std::wstring& lowered) const;
    static bool Matches(const std::wstring& entry, const std::wstring& lowered);

    CJXSRWLock m_lock;
    CJXEvent m_releaseScheduled{false, false, nullptr};
    std::vector<Entry> m_entries;
    std::vector<Entry> m_released;
};

// The path in lower case, as the list keeps it.
std::wstring LowerPath(const wchar_t* path);
