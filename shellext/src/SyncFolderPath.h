#pragma once
#include <string_view>

// Where a path lies against the sync folder, by whole components and
// without regard to case ("C:\SyncOther" is not inside "C:\Sync"; a
// trailing backslash names the same folder).
enum class SyncFolderPlace { Outside, Root, Inside };

SyncFolderPlace PlaceInSyncFolder(std::wstring_view root, std::wstring_view path);
