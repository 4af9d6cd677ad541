#pragma once
#include <windows.h>

#include <cstdint>

// The file table keeps times as 64-bit FILETIME ticks (UTC).
inline uint64_t FileTimeToTicks(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

inline FILETIME TicksToFileTime(uint64_t ticks) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

inline uint64_t FindDataSize(const WIN32_FIND_DATAW& data) {
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

inline uint64_t SystemTimeTicks() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return FileTimeToTicks(now);
}
