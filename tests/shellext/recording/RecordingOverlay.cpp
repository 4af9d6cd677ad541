// A stand-in for the overlay library that records how the shell extension
// calls it and answers what the test asks for.
#include "RecordingOverlay.h"

#include <cwchar>

#include "BrelioCore/UniqueHandle.h"

namespace {

RecordedOverlayCall g_last = {};
volatile HRESULT g_answer = S_OK;
// Set while stalled calls may go on.
const brelio::UniqueKernelHandle g_stallReleased(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
constexpr DWORD kLongestStallMs = 120000;

void Copy(wchar_t (&to)[400], const wchar_t* from) {
    to[0] = L'\0';
    if (from != nullptr) wcsncat(to, from, 399);
}

// Each frame takes a page of the stack, and the call is not the last thing
// it does, so the compiler cannot turn the recursion into a loop.
__attribute__((noinline)) int Recurse(int depth) {
    volatile char page[4096];
    page[0] = static_cast<char>(depth);
    return Recurse(depth + 1) + page[0];
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
    const HRESULT answer = g_answer;
    if (answer == kRecordingFault) *static_cast<volatile int*>(nullptr) = 1;
    if (answer == kRecordingStackOverflow) return Recurse(0) != 0 ? S_OK : S_FALSE;
    if (answer == kRecordingEndThread) ::ExitThread(0);
    if (answer == kRecordingStall) {
        ::WaitForSingleObject(g_stallReleased.Get(), kLongestStallMs);
        return S_FALSE;
    }
    return answer;
}

__declspec(dllexport) void WINAPI GetRecordedCall(RecordedOverlayCall* out) { *out = g_last; }

__declspec(dllexport) void WINAPI SetOverlayAnswer(HRESULT answer) {
    if (answer == kRecordingStall) ::ResetEvent(g_stallReleased.Get());
    g_answer = answer;
}

__declspec(dllexport) void WINAPI ReleaseStall() { ::SetEvent(g_stallReleased.Get()); }

}
