#pragma once
#include <windows.h>

#include "OverlayQuestion.h"

// What the overlay library answered, or that it raised a structured
// exception instead (the answer is then S_FALSE).
struct GuardedAnswer {
    HRESULT result;
    bool faulted;
};

// Asks the overlay library. A structured exception inside it costs the
// item its overlay, not the process its life; after one, the calling
// thread's stack may have lost its guard page (a stack overflow), so the
// caller does not go on using that stack for further calls.
[[nodiscard]] GuardedAnswer GuardedIsMemberOf(const OverlayQuestion& question, HANDLE mutex);
