// The clock of the benchmarks and of the run's time to its finished page.
#pragma once
#include <windows.h>

// Milliseconds since some fixed moment, from the performance counter.
inline double Milliseconds()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * count.QuadPart / frequency.QuadPart;
}
