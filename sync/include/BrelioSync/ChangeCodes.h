#pragma once
#include <cstdint>

// How an item differs between the two sides, as one pass classifies it.
enum ChangeCode : uint32_t {
    CHANGE_NONE = 0x0,
    CHANGE_ADDED_LOCAL = 0x1,
    CHANGE_ADDED_REMOTE = 0x2,
    CHANGE_MODIFIED_LOCAL = 0x10,
    CHANGE_MODIFIED_REMOTE = 0x20,
    CHANGE_MODIFIED_BOTH = 0x30,
    CHANGE_REMOVED_LOCAL = 0x100,
    CHANGE_REMOVED_REMOTE = 0x200,
    CHANGE_REMOVED_BOTH = 0x300,
    CHANGE_RENAMED_LOCAL = 0x1000,
    CHANGE_MOVED_REMOTE = 0x2000,
    CHANGE_MOVED_BOTH = 0x3000,
    CHANGE_MODIFIED_REVISION = 0x10000,
    CHANGE_NO_STORAGE_ROW = 0x20000,
    CHANGE_FAILED_LOCAL = 0x100000,
    // The local name is another item's, letter case aside.
    CHANGE_NAME_TAKEN = 0x200000,
};

// Writes the code's log line for the path; other values write nothing.
void LogChangeCode(uint32_t code, const wchar_t* path);
