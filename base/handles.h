// Owners of the kernel and GDI handles that a call opens and is done with
// before it returns.
#pragma once
#include <windows.h>

// Owns a handle and gives it back with Close when it goes. The calls that
// make handles fail with null or with INVALID_HANDLE_VALUE: neither is closed.
template <class Handle, BOOL(WINAPI* Close)(Handle)> class HandleOwner {
public:
    explicit HandleOwner(Handle handle) : handle_(handle) {}
    ~HandleOwner()
    {
        if (isOpen())
            Close(handle_);
    }
    HandleOwner(const HandleOwner&) = delete;
    HandleOwner& operator=(const HandleOwner&) = delete;

    operator Handle() const { return handle_; }
    bool isOpen() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }

private:
    Handle handle_;
};

// Files, events, threads.
using KernelHandle = HandleOwner<HANDLE, CloseHandle>;
// A FindFirstFileA search.
using FindHandle = HandleOwner<HANDLE, FindClose>;
// A memory device context of CreateCompatibleDC.
using MemoryDc = HandleOwner<HDC, DeleteDC>;
