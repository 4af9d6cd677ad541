#pragma once
// The benchmarks' clock, shared by the product's benchmarks and the plain
// WinHTTP references alike.
#include <windows.h>

// Seconds on the performance counter.
inline double BenchNow() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}
