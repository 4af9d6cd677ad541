#pragma once
#include <windows.h>

// When the storage-update thread asks for the next partial pass, on the
// GetTickCount64 clock.
//
// The idle time runs from the last local change actually recorded: events
// that recorded nothing (the sync thread's own masked writes, items outside
// the selection) move nothing. While no recorded change waits, the drive is
// polled every idle time. A recorded change waits until the idle time has
// passed without another one, but never longer than the pending bound after
// the first change that waits: three idle times, and at least two seconds,
// so that a file being saved with a very short idle time is not sent between
// its writes. Under steady local activity a pass, and with it a poll of the
// drive, still comes at least once per bound.
class CPassSchedule {
public:
    static constexpr ULONGLONG kPendingBoundFactor = 3;
    static constexpr ULONGLONG kPendingBoundFloor = 2000;

    explicit CPassSchedule(ULONGLONG now) : m_lastPass(now) {}

    static ULONGLONG PendingBound(DWORD idleTime);

    void ChangeRecorded(ULONGLONG now);
    void PassRequested(ULONGLONG now);
    // The time the next pass is due.
    ULONGLONG NextPass(DWORD idleTime) const;
    // Milliseconds from now to the next pass; 0 when it is due. Never
    // INFINITE: the pass comes however long the idle time.
    DWORD TimeToPass(ULONGLONG now, DWORD idleTime) const;

private:
    ULONGLONG m_lastPass;
    ULONGLONG m_firstPending = 0;
    ULONGLONG m_lastRecorded = 0;
    bool m_pending = false;
};
