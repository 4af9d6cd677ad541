#pragma once
#include <windows.h>

// Puts a shortcut to `targetFolder` into the user's Links folder, named
// `name` (a text or a string id through MAKEINTRESOURCE) with ".lnk" added
// when the name has no extension. An existing shortcut of that name is
// replaced. Every failing step ends it with that step's HRESULT; an empty
// name is E_INVALIDARG. Nothing is shown to the user.
[[nodiscard]] HRESULT CreateLinksShortcut(LPCWSTR name, LPCWSTR targetFolder);
