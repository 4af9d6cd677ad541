#pragma once
#include <windows.h>

// Changes to the local file system that may meet a file in use (the sync
// folder is watched and open in other programs). `retries` is the number
// of further attempts after the first, 250 ms apart: 0 means one attempt,
// 4 up to five. None of them logs, throws or takes a lock.

constexpr DWORD kFileRetryPause = 250;  // ms between two attempts

// A positive Win32 code as 0x80070000 with its low 16 bits; zero and
// negative values unchanged.
[[nodiscard]] HRESULT HresultFromWin32(int code);

// Creates every missing level, top-down. E_FAIL when a file stands in the
// way; otherwise S_OK or the HRESULT of the failed creation.
[[nodiscard]] HRESULT CreateDirectoryTree(const wchar_t* path, int retries = 0);
// Creates the folder itself (one level). E_FAIL when a file of that name
// exists.
[[nodiscard]] HRESULT CreateDirectoryRetry(const wchar_t* path, int retries);

// The recycle bin: through the shell's file operation object, or through
// SHFileOperationW where that object is a stub (Wine). Success means the
// item is gone at the end (or was never there), whatever the shell said.
// COM must be initialised on the calling thread.

// A folder and its contents, in one attempt. S_OK also when the path is no
// folder.
[[nodiscard]] HRESULT RecycleDirectory(const wchar_t* path);
// One file; every attempt uses a file operation object of its own.
[[nodiscard]] HRESULT RecycleFile(const wchar_t* path, int retries);

// 0x80070002 at once when the source does not exist.
[[nodiscard]] HRESULT MoveFileRetry(const wchar_t* source, const wchar_t* target, int retries);
// The same, replacing a file at the target, and through to the disk before
// it returns.
[[nodiscard]] HRESULT ReplaceFileRetry(const wchar_t* source, const wchar_t* target, int retries);
// A rename that changes only the letter case of the last name. Where the
// system renames such a name in place as though it were done already (as
// Wine does), the rename goes through `between`, a free name in the same
// folder; a failure on the way puts the item back under its old name.
[[nodiscard]] HRESULT RenameLetterCaseRetry(const wchar_t* source, const wchar_t* target, const wchar_t* between,
                                            int retries);
// S_OK when the file is gone at the end (or was never there).
[[nodiscard]] HRESULT DeleteFileRetry(const wchar_t* path, int retries);
