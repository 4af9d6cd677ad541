#pragma once
#include <cwchar>

// The file the monitor writes into the sync folder to wake itself up; it is
// never synced.
constexpr wchar_t kStopMarkerName[] = L"$$$__STOP__$$$";

inline bool IsStopMarker(const wchar_t* name) { return _wcsicmp(name, kStopMarkerName) == 0; }
