#pragma once
#include <windows.h>

// What the recording overlay library (named BrelioIconOverlay.dll, beside
// a copy of the shell extension) saw of the last call of its IsMemberOf.
struct RecordedOverlayCall {
    LONG calls;             // calls since the library was loaded
    int overlayId;
    DWORD mutexWait;        // WaitForSingleObject(mutex, 0) inside the call
    wchar_t storage[400];
    wchar_t root[400];
    wchar_t path[400];
    DWORD attributes;
    LONG generation;
};

// Its further exports, for the tests in the same process.
using GetRecordedCallFunction = void(WINAPI*)(RecordedOverlayCall*);
// The answer of the next calls; kRecordingFault raises an access violation.
using SetOverlayAnswerFunction = void(WINAPI*)(HRESULT);
inline constexpr HRESULT kRecordingFault = static_cast<HRESULT>(0x8BAD0001);
