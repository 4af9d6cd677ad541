#pragma once
#include <windows.h>

#include <string>

#include "BrelioCore/UniqueHandle.h"

// The export of the overlay library that decides whether an overlay
// applies: (overlay id, storage mutex, database path, sync folder, path,
// attributes, settings generation) -> S_OK to show it, S_FALSE not.
using OverlayIsMemberOfFunction = HRESULT(WINAPI*)(int, HANDLE, const wchar_t*, const wchar_t*, const wchar_t*,
                                                   DWORD, LONG);

// One question for the overlay library with everything it refers to (a
// reference on the library among them), so that it stays answerable after
// the handler that asked it went.
struct OverlayQuestion {
    OverlayIsMemberOfFunction isMemberOf = nullptr;
    brelio::UniqueModule library;
    int overlayId = 0;
    std::wstring storage;
    std::wstring root;
    std::wstring path;
    DWORD attributes = 0;
    LONG generation = 0;
};
