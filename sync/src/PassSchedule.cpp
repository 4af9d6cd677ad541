#include "BrelioSync/PassSchedule.h"

#include <algorithm>

ULONGLONG CPassSchedule::PendingBound(DWORD idleTime) {
    return std::max(kPendingBoundFactor * idleTime, kPendingBoundFloor);
}

void CPassSchedule::ChangeRecorded(ULONGLONG now) {
    if (!m_pending) m_firstPending = now;
    m_pending = true;
    m_lastRecorded = now;
}

void CPassSchedule::PassRequested(ULONGLONG now) {
    m_lastPass = now;
    m_pending = false;
}

ULONGLONG CPassSchedule::NextPass(DWORD idleTime) const {
    if (!m_pending) return m_lastPass + idleTime;
    return std::min(m_lastRecorded + idleTime, m_firstPending + PendingBound(idleTime));
}

DWORD CPassSchedule::TimeToPass(ULONGLONG now, DWORD idleTime) const {
    const ULONGLONG due = NextPass(idleTime);
    if (due <= now) return 0;
    return static_cast<DWORD>(std::min<ULONGLONG>(due - now, INFINITE - 1));
}
