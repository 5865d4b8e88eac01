// Owners of the kernel handles that a call opens and is done with before it
// returns.
#pragma once
#include <windows.h>

// Owns a handle and gives it back with Close when it goes. The calls that
// make handles fail with null or with INVALID_HANDLE_VALUE: neither is closed.
template <BOOL(WINAPI* Close)(HANDLE)> class HandleOwner {
public:
    explicit HandleOwner(HANDLE handle) : handle_(handle) {}
    ~HandleOwner()
    {
        if (isOpen())
            Close(handle_);
    }
    HandleOwner(const HandleOwner&) = delete;
    HandleOwner& operator=(const HandleOwner&) = delete;

    operator HANDLE() const { return handle_; }
    bool isOpen() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// Files, events, threads.
using KernelHandle = HandleOwner<CloseHandle>;
// A FindFirstFileA search.
using FindHandle = HandleOwner<FindClose>;
