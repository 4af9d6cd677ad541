#include "GuardedOverlayCall.h"

#include <excpt.h>

// The filter of the guarded call below: every exception is handled there.
extern "C" LONG BrelioOverlayCallFilter(EXCEPTION_POINTERS*, void*) { return EXCEPTION_EXECUTE_HANDLER; }

// Alone in this file and never inlined: the guard's labels may appear once.
__attribute__((noinline)) HRESULT GuardedIsMemberOf(OverlayIsMemberOfFunction isMemberOf, int overlayId, HANDLE mutex,
                                                    const wchar_t* storage, const wchar_t* root, const wchar_t* path,
                                                    DWORD attributes, LONG generation) {
    // Stays S_FALSE when the call faults: control then resumes after the
    // guarded statement without the assignment.
    volatile HRESULT result = S_FALSE;
    __try1(BrelioOverlayCallFilter)
    result = isMemberOf(overlayId, mutex, storage, root, path, attributes, generation);
    __except1
    return result;
}
