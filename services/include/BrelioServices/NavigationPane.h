#pragma once
#include <windows.h>

// The sync folder's entry in Explorer's navigation pane: a per-user shell
// folder that delegates to Windows' folder shortcut object.

// Explorer and earlier installs know the entry by this id: never change it.
inline constexpr wchar_t kNavigationPaneClsid[] = L"{F3723050-D272-434E-9704-E25239C223A1}";

// Writes the entry, its target still "%USERPROFILE%". Without force an
// existing entry is left exactly as it is. E_FAIL when the entry's key
// cannot be created.
[[nodiscard]] HRESULT RegisterNavigationPane(bool force);

// Points the registered entry at the folder (NULL writes nothing). E_FAIL,
// with nothing created, when the entry is not registered.
[[nodiscard]] HRESULT SetNavigationPaneTarget(const wchar_t* folder);

// Removes every key and value of the entry; what is missing is passed over.
void UnregisterNavigationPane();
