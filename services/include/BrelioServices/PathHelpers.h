#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>

// Joins a folder and a relative part (PathCombineW). False, with `path`
// untouched, when the result would not fit in MAX_PATH characters.
bool JoinPath(const wchar_t* folder, const wchar_t* more, std::wstring& path);

// A known folder of the current user, such as FOLDERID_LocalAppData.
[[nodiscard]] HRESULT GetKnownFolder(REFKNOWNFOLDERID id, std::wstring& path);

// Full path of a loaded module (NULL: the running program), as
// GetModuleFileNameW gives it; a path longer than MAX_PATH is refused, not cut.
[[nodiscard]] HRESULT GetModulePath(HMODULE module, std::wstring& path);
// Full path of the running program.
[[nodiscard]] HRESULT GetProgramPath(std::wstring& path);

// The user's profile folder joined with "BrelioDrive"; empty on failure.
std::wstring GetDefaultRootFolder();

// "BrelioDrive.log" in the user's temporary folder; empty on failure.
std::wstring GetLogFilePath();
