#pragma once
#include <windows.h>

#include <string>

// Re-registers the shell extension after an update: unregisters the copy
// whose path the settings key holds in "ShellExtension" (failures there are
// ignored), registers the library at `newPath` and stores `newPath`. The
// result is DllRegisterServer's. A library that does not load (its load
// error) or has no DllRegisterServer (ERROR_PROC_NOT_FOUND), or a settings
// key that cannot be opened, fails before anything else happens.
[[nodiscard]] HRESULT RegisterShellExtension(const std::wstring& newPath);

// The stored "ShellExtension" value; false when there is none.
bool ReadShellExtensionPath(std::wstring& path);
// Puts back what an install found: the value (or its absence), and the
// registration of the library there when it still exists.
void RestoreShellExtension(bool hadPath, const std::wstring& path);
