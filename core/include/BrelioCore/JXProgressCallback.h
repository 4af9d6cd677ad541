#pragma once
#include <windows.h>

// Told about the progress of a long transfer; may cancel it.
struct IJXProgressCallback {
    virtual ~IJXProgressCallback() = default;
    virtual bool IsCancelled() = 0;
    virtual int OnProgress(ULONGLONG done, ULONGLONG total, const wchar_t* text) = 0;
};
