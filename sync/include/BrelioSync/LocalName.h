#pragma once
#include <windows.h>

#include <string>

// Names and paths that come from the service end up in the local file
// system. Only a plain name may: one that stays one component inside its
// folder and means the same thing to Windows as on the drive.

// Refused: empty, "." or "..", over 255 characters, a control character,
// any of < > : " / \ | ? *, a trailing dot or space, or a device name
// (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension).
bool IsSafeLocalName(const wchar_t* name);
// A relative path whose every component is a safe name.
bool IsSafeRelativePath(const std::wstring& relativePath);
// The folder, a backslash and the relative part, as they are: no
// canonicalisation (PathCombineW under Wine reads "..x" as a step up).
// False, with `path` untouched, when the result would not fit MAX_PATH.
bool JoinName(const wchar_t* folder, const std::wstring& relative, std::wstring& path);
// The folder joined with a remote name, when the name is safe and the
// result fits MAX_PATH. HRESULT_FROM_WIN32(ERROR_INVALID_NAME) or
// HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE) otherwise, with `path`
// empty.
[[nodiscard]] HRESULT JoinRemoteName(const wchar_t* folder, const wchar_t* name, std::wstring& path);
// The sync root joined with a relative path from the service, under the
// same rules for each component.
[[nodiscard]] HRESULT JoinRemoteRelativePath(const wchar_t* root, const std::wstring& relativePath, std::wstring& path);
