#pragma once
#include <windows.h>

#include <string>
#include <string_view>

// Why a folder cannot be the sync folder, or Accepted.
enum class SyncFolderCheck {
    Accepted,
    // Not a full path with a drive letter or a \\server\share: a relative
    // text would depend on the current directory.
    NotAbsolute,
    // Longer than a stored path may be.
    TooLong,
    // A whole drive or share: syncing it would upload the disk.
    DriveRoot,
    // It holds the program's own working folders (the local application
    // data with the databases, the temporary folder with the log and the
    // update work): the program would sync its own writes in a loop.
    HoldsProgramFolders,
};

// The one test of a sync folder, for the options window and again for the
// stored folder at start-up. On Accepted, `normalised` is the full path
// with "." and ".." resolved, forward slashes turned into backslashes, the
// long names of folders that exist and no trailing separator: the form to
// store. Whether the folder exists is not checked here.
[[nodiscard]] SyncFolderCheck CheckSyncFolder(std::wstring_view folder, std::wstring& normalised);

// A short English name of the verdict, for the log.
const wchar_t* SyncFolderCheckText(SyncFolderCheck verdict);

// Refused, with nothing started, while the stored sync folder is one the
// options window would not take.
constexpr HRESULT kSyncFolderRefused = HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME);

// The stored folder's check before the engine starts on it: S_OK, or
// kSyncFolderRefused (logged with the reason) for a folder the options
// window would refuse (a drive, the program's own folders, a relative
// path), which never gets the engine.
[[nodiscard]] HRESULT CheckStoredSyncFolder(const std::wstring& folder);
