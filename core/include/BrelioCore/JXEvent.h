#pragma once
#include <windows.h>

#include "BrelioCore/UniqueHandle.h"

// A Windows event object, made when the object is constructed. When it
// cannot be made the handle is empty: SetEvent and ResetEvent then return
// false and Wait returns WAIT_FAILED.
class CJXEvent {
public:
    explicit CJXEvent(bool manualReset = true, bool initialState = true, const wchar_t* name = nullptr);
    CJXEvent(const CJXEvent&) = delete;
    CJXEvent& operator=(const CJXEvent&) = delete;

    bool SetEvent();
    bool ResetEvent();
    // WAIT_OBJECT_0 (0) when signalled, WAIT_TIMEOUT (258) when not.
    DWORD Wait(DWORD milliseconds);
    bool IsValid() const { return m_event.IsValid(); }
    operator HANDLE() const { return m_event.Get(); }

private:
    brelio::UniqueKernelHandle m_event;
};
