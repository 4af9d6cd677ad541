#pragma once
#include <windows.h>

#include <cstdint>

// What stands at a path of the sync folder, as much of it as tells one
// write from the next: whether something is there, what kind of item, and
// a file's size and last-write time.
struct ItemState {
    bool exists = false;
    bool isFolder = false;
    uint64_t size = 0;
    uint64_t lastWrite = 0;  // FILETIME ticks (UTC)

    // A folder's own time moves with its content, whose items report their
    // own changes: two folders are the same item state.
    bool SameAs(const ItemState& other) const;
};

// The item at the full path now. False when the path could not be
// examined (access denied, a device error): that tells nothing, and an
// item taken for gone would be deleted from the drive.
[[nodiscard]] bool ReadItemState(const wchar_t* path, ItemState& state);
