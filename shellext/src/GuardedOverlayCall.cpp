#include "GuardedOverlayCall.h"

#include <excpt.h>

// The filter of the guarded call below: every exception is handled there.
extern "C" LONG BrelioOverlayCallFilter(EXCEPTION_POINTERS*, void*) { return EXCEPTION_EXECUTE_HANDLER; }

// Alone in this file and never inlined: the guard's labels may appear once.
__attribute__((noinline)) GuardedAnswer GuardedIsMemberOf(const OverlayQuestion& question, HANDLE mutex) {
    // When the call faults, control resumes after the guarded statements
    // without the assignments: S_FALSE, and not answered.
    volatile HRESULT result = S_FALSE;
    volatile bool answered = false;
    __try1(BrelioOverlayCallFilter)
    result = question.isMemberOf(question.overlayId, mutex, question.storage.c_str(), question.root.c_str(),
                                 question.path.c_str(), question.attributes, question.generation);
    answered = true;
    __except1
    return {result, !answered};
}
