// A lock for the probe's tables that stand-ins, the loader's notices and a
// faulting thread reach from any thread, some inside the loader: nothing is
// called under it but the heap, so it cannot wait for a lock of the system's.
#pragma once
#include <windows.h>

class SpinLock {
public:
    explicit SpinLock(volatile LONG& word) : word_(word)
    {
        while (InterlockedExchange(&word_, 1))
            Sleep(0);
    }
    ~SpinLock() { InterlockedExchange(&word_, 0); }
    SpinLock(const SpinLock&) = delete;
    SpinLock& operator=(const SpinLock&) = delete;

private:
    volatile LONG& word_;
};
