// A stand-in for the overlay library that records how the shell extension
// calls it and answers what the test asks for.
#include "RecordingOverlay.h"

#include <cwchar>

namespace {

RecordedOverlayCall g_last = {};
HRESULT g_answer = S_OK;

void Copy(wchar_t (&to)[400], const wchar_t* from) {
    to[0] = L'\0';
    if (from != nullptr) wcsncat(to, from, 399);
}

}  // namespace

extern "C" {

__declspec(dllexport) HRESULT WINAPI IsMemberOf(int overlayId, HANDLE mutex, const wchar_t* storage, const wchar_t* root,
                                                const wchar_t* path, DWORD attributes, LONG generation) {
    ++g_last.calls;
    g_last.overlayId = overlayId;
    g_last.mutexWait = ::WaitForSingleObject(mutex, 0);
    if (g_last.mutexWait == WAIT_OBJECT_0 || g_last.mutexWait == WAIT_ABANDONED) ::ReleaseMutex(mutex);
    Copy(g_last.storage, storage);
    Copy(g_last.root, root);
    Copy(g_last.path, path);
    g_last.attributes = attributes;
    g_last.generation = generation;
    if (g_answer == kRecordingFault) *static_cast<volatile int*>(nullptr) = 1;
    return g_answer;
}

__declspec(dllexport) void WINAPI GetRecordedCall(RecordedOverlayCall* out) { *out = g_last; }

__declspec(dllexport) void WINAPI SetOverlayAnswer(HRESULT answer) { g_answer = answer; }

}
