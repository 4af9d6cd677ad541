#pragma once
#include <windows.h>

#include <string>
#include <string_view>

// Helpers shared by the settings object's readers and writers.

// A full path stored in the registry; ERROR_BAD_PATHNAME for a relative
// (or empty) one, which would name a folder relative to wherever the
// program happens to run.
LSTATUS ReadStoredPath(HKEY key, const wchar_t* name, std::wstring& path);

// A present value that cannot be used: said in the log, left in place.
void LogIgnoredValue(const wchar_t* name, LSTATUS status);

// "<member>@<tenant>" that can name a registry subkey, a folder and a
// file: a tenant that is a DNS label, a member code without control
// characters or characters a file name cannot hold, and no longer than
// other readers accept.
bool IsValidAccount(std::wstring_view account);

// The default root folder with the account appended; empty on failure.
std::wstring DefaultRootFolderFor(const std::wstring& account);
