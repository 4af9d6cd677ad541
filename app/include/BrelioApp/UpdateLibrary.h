#pragma once
#include <windows.h>

#include "BrelioUpdate/CheckUpdateModes.h"

// BrelioDrive does not link against its update library: it loads
// BrelioUpdate.dll from its own folder for each use, calls one export and
// unloads it at once, so that a running program never holds the library
// and an update can replace it on disk.

// The library beside the running executable; null when it cannot be
// loaded.
HMODULE LoadUpdateLibrary();
// Null is allowed.
void FreeUpdateLibrary(HMODULE library);

// Each looks its export up by name on every call. E_FAIL, with nothing
// called, when the library is null or lacks the export.
int CallCheckUpdate(HMODULE library, int mode);
int CallApplyUpdate(HMODULE library, const wchar_t* installDir);
int CallUpdateFile(HMODULE library);

// One whole use: load, call, free; `mode` is one of CheckUpdateModes.h.
// 0 means an update has started and the program must end; any other
// result (E_FAIL when the library is missing) lets it go on.
int RunCheckUpdate(int mode);
// Stage 2 of an update, for the "-ApplyUpdate" switch.
int RunApplyUpdate(const wchar_t* installDir);
