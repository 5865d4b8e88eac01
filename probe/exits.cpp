#include "probe/exits.h"
#include <cstdlib>
#include "probe/hostile.h"

namespace {

DWORD guardedThread;    // 0: no guard up

bool Guarded() { return guardedThread && GetCurrentThreadId() == guardedThread; }

[[noreturn]] void RaiseExited()
{
    RaiseException(EXCEPTION_PLUGIN_EXITED, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    for (;;)
        ;
}

// A call let through goes to the runtime of the library it came from (a
// plug-in may bring a runtime of its own), or to the wizard's own when that
// library imports no such function any more.
template <class F> F RuntimeOf(const void* caller, const char* name, F fallback)
{
    void* own = ImportOf(caller, name, C_RUNTIME);
    return own ? reinterpret_cast<F>(own) : fallback;
}

using ExitFn = void(__cdecl*)(int);
void __cdecl LastResort(int code) { _exit(code); }

void __cdecl Exit(int code)
{
    if (Guarded())
        RaiseExited();
    RuntimeOf<ExitFn>(__builtin_return_address(0), "exit", exit)(code);
}
void __cdecl UnderscoreExit(int code)
{
    if (Guarded())
        RaiseExited();
    RuntimeOf<ExitFn>(__builtin_return_address(0), "_exit", LastResort)(code);
}
void __cdecl UpperExit(int code)
{
    if (Guarded())
        RaiseExited();
    RuntimeOf<ExitFn>(__builtin_return_address(0), "_Exit", LastResort)(code);
}
void __cdecl QuickExit(int code)
{
    if (Guarded())
        RaiseExited();
    RuntimeOf<ExitFn>(__builtin_return_address(0), "quick_exit", LastResort)(code);
}
void __cdecl Abort()
{
    if (Guarded())
        RaiseExited();
    RuntimeOf<void(__cdecl*)()>(__builtin_return_address(0), "abort", abort)();
}
// The runtime's own end after a fatal runtime error.
void __cdecl AmsgExit(int code)
{
    if (Guarded())
        RaiseExited();
    RuntimeOf<ExitFn>(__builtin_return_address(0), "_amsg_exit", LastResort)(code);
}
// The kernel's functions are the same for every library.
void WINAPI StandInExitProcess(UINT code)
{
    if (Guarded())
        RaiseExited();
    ExitProcess(code);
}
void WINAPI StandInFatalExit(int code)
{
    if (Guarded())
        RaiseExited();
    FatalExit(code);
}
void WINAPI StandInFatalAppExitA(UINT action, LPCSTR text)
{
    if (Guarded())
        RaiseExited();
    FatalAppExitA(action, text);
}
void WINAPI StandInFatalAppExitW(UINT action, LPCWSTR text)
{
    if (Guarded())
        RaiseExited();
    FatalAppExitW(action, text);
}
// Ending another process is the plug-in's business.
BOOL WINAPI StandInTerminateProcess(HANDLE process, UINT code)
{
    if (Guarded() && (process == GetCurrentProcess() || GetProcessId(process) == GetCurrentProcessId()))
        RaiseExited();
    return TerminateProcess(process, code);
}
// A thread of the plug-in's own may end itself; the wizard's thread may not.
void WINAPI StandInExitThread(DWORD code)
{
    if (Guarded())
        RaiseExited();
    ExitThread(code);
}

const StandIn EXIT_STAND_INS[] = {
    {"exit", C_RUNTIME, reinterpret_cast<void*>(Exit)},
    {"_exit", C_RUNTIME, reinterpret_cast<void*>(UnderscoreExit)},
    {"_Exit", C_RUNTIME, reinterpret_cast<void*>(UpperExit)},
    {"quick_exit", C_RUNTIME, reinterpret_cast<void*>(QuickExit)},
    {"abort", C_RUNTIME, reinterpret_cast<void*>(Abort)},
    {"_amsg_exit", C_RUNTIME, reinterpret_cast<void*>(AmsgExit)},
    {"ExitProcess", KERNEL, reinterpret_cast<void*>(StandInExitProcess)},
    {"FatalExit", KERNEL, reinterpret_cast<void*>(StandInFatalExit)},
    {"FatalAppExitA", KERNEL, reinterpret_cast<void*>(StandInFatalAppExitA)},
    {"FatalAppExitW", KERNEL, reinterpret_cast<void*>(StandInFatalAppExitW)},
    {"TerminateProcess", KERNEL, reinterpret_cast<void*>(StandInTerminateProcess)},
    {"ExitThread", KERNEL, reinterpret_cast<void*>(StandInExitThread)},
};

} // namespace

const StandIns EXIT_GUARD = StandInsOf(EXIT_STAND_INS);

void RaiseExitGuard()
{
    guardedThread = GetCurrentThreadId();
}

void LowerExitGuard()
{
    guardedThread = 0;
}
