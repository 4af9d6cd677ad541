#pragma once
#include <windows.h>

#include <string>

// The actions ReadDirectoryChangesW reports, as the monitor queues them.
// A stop request carries no path and no action.
enum FileChangeAction : int {
    FILE_CHANGE_STOP = 0,
    FILE_CHANGE_ADDED = FILE_ACTION_ADDED,
    FILE_CHANGE_REMOVED = FILE_ACTION_REMOVED,
    FILE_CHANGE_MODIFIED = FILE_ACTION_MODIFIED,
    FILE_CHANGE_RENAMED_OLD = FILE_ACTION_RENAMED_OLD_NAME,
    FILE_CHANGE_RENAMED_NEW = FILE_ACTION_RENAMED_NEW_NAME,
};

// One local change, from the monitor to the storage-update thread.
struct CFileChange {
    std::wstring path;  // full local path; empty in the stop request
    int action = FILE_CHANGE_STOP;
    FILETIME time = {};  // when it was queued (UTC), or last merged into
    // Taken when the change was read, so false for a removed item and
    // for the old name of a rename: their paths no longer exist.
    bool isFolder = false;

    bool IsStopRequest() const { return path.empty(); }
};
