#include "BrelioCore/JXEvent.h"

CJXEvent::CJXEvent(bool manualReset, bool initialState, const wchar_t* name)
    : m_event(::CreateEventW(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE, name)) {}

bool CJXEvent::SetEvent() { return m_event && ::SetEvent(m_event.Get()) != FALSE; }

bool CJXEvent::ResetEvent() { return m_event && ::ResetEvent(m_event.Get()) != FALSE; }

DWORD CJXEvent::Wait(DWORD milliseconds) {
    if (!m_event) return WAIT_FAILED;
    return ::WaitForSingleObject(m_event.Get(), milliseconds);
}
