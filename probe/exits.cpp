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

// The runtimes' ways to end the process with a code, by the name the
// caller imports each by.
template <const char* Name, ExitFn Fallback> void __cdecl RuntimeExit(int code)
{
    if (Guarded())
        RaiseExited();
    RuntimeOf<ExitFn>(__builtin_return_address(0), Name, Fallback)(code);
}
constexpr char EXIT[] = "exit";
constexpr char UNDERSCORE_EXIT[] = "_exit";
constexpr char UPPER_EXIT[] = "_Exit";
constexpr char QUICK_EXIT[] = "quick_exit";
// The runtime's own end after a fatal runtime error.
constexpr char AMSG_EXIT[] = "_amsg_exit";

void __cdecl Abort()
{
    if (Guarded())
        RaiseExited();
    RuntimeOf<void(__cdecl*)()>(__builtin_return_address(0), "abort", abort)();
}

// The kernel's functions are the same for every library.
template <class... Arguments> struct Kernel {
    template <void(WINAPI* End)(Arguments...)> static void WINAPI StandIn(Arguments... arguments)
    {
        if (Guarded())
            RaiseExited();
        End(arguments...);
    }
};

// Ending another process is the plug-in's business.
BOOL WINAPI StandInTerminateProcess(HANDLE process, UINT code)
{
    if (Guarded() && (process == GetCurrentProcess() || GetProcessId(process) == GetCurrentProcessId()))
        RaiseExited();
    return TerminateProcess(process, code);
}

const StandIn EXIT_STAND_INS[] = {
    {EXIT, C_RUNTIME, reinterpret_cast<void*>(RuntimeExit<EXIT, exit>)},
    {UNDERSCORE_EXIT, C_RUNTIME, reinterpret_cast<void*>(RuntimeExit<UNDERSCORE_EXIT, LastResort>)},
    {UPPER_EXIT, C_RUNTIME, reinterpret_cast<void*>(RuntimeExit<UPPER_EXIT, LastResort>)},
    {QUICK_EXIT, C_RUNTIME, reinterpret_cast<void*>(RuntimeExit<QUICK_EXIT, LastResort>)},
    {"abort", C_RUNTIME, reinterpret_cast<void*>(Abort)},
    {AMSG_EXIT, C_RUNTIME, reinterpret_cast<void*>(RuntimeExit<AMSG_EXIT, LastResort>)},
    {"ExitProcess", KERNEL, reinterpret_cast<void*>(Kernel<UINT>::StandIn<ExitProcess>)},
    {"FatalExit", KERNEL, reinterpret_cast<void*>(Kernel<int>::StandIn<FatalExit>)},
    {"FatalAppExitA", KERNEL, reinterpret_cast<void*>(Kernel<UINT, LPCSTR>::StandIn<FatalAppExitA>)},
    {"FatalAppExitW", KERNEL, reinterpret_cast<void*>(Kernel<UINT, LPCWSTR>::StandIn<FatalAppExitW>)},
    {"TerminateProcess", KERNEL, reinterpret_cast<void*>(StandInTerminateProcess)},
    // A thread of the plug-in's own may end itself; the wizard's thread may not.
    {"ExitThread", KERNEL, reinterpret_cast<void*>(Kernel<DWORD>::StandIn<ExitThread>)},
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
