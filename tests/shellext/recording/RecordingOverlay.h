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
// The answer of the next calls. Four answers are behaviours instead:
// kRecordingFault raises an access violation, kRecordingStall holds the
// call until ReleaseStall (or two minutes), kRecordingStackOverflow
// recurses until the stack overflows, kRecordingEndThread ends the thread
// it was called on.
using SetOverlayAnswerFunction = void(WINAPI*)(HRESULT);
inline constexpr HRESULT kRecordingFault = static_cast<HRESULT>(0x8BAD0001);
inline constexpr HRESULT kRecordingStall = static_cast<HRESULT>(0x8BAD0002);
inline constexpr HRESULT kRecordingStackOverflow = static_cast<HRESULT>(0x8BAD0003);
inline constexpr HRESULT kRecordingEndThread = static_cast<HRESULT>(0x8BAD0004);
// Lets every held call go on (they answer S_FALSE); later stalls hold again.
using ReleaseStallFunction = void(WINAPI*)();
