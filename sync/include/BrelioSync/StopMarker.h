#pragma once
#include <cwchar>

#include "BrelioServices/FileTransfer.h"

// The file the monitor writes into the sync folder to wake itself up; it is
// never synced.
constexpr wchar_t kStopMarkerName[] = L"$$$__STOP__$$$";

inline bool IsStopMarker(const wchar_t* name) { return _wcsicmp(name, kStopMarkerName) == 0; }

// The engine's own files, which walks of the sync folder pass over: the
// monitor's marker and a download's temporary file.
inline bool IsEngineOwnFile(const wchar_t* name) { return IsStopMarker(name) || IsEngineTemporaryName(name); }
