#include "probe/exits.h"
#include <cstdlib>
#include "probe/hostile.h"
#include "probe/kept.h"

namespace {

// The thread probes run on, and the guard of the probe under way there:
// the stand-ins run on any thread. The frame raises and lowers the guard;
// only the wizard's own thread follows the pointer, and there the frame
// holding the guard is alive while it is set.
DWORD wizardThread;
ExitGuard* volatile raisedGuard;

bool Guarded()
{
    if (GetCurrentThreadId() != wizardThread)
        return false;
    ExitGuard* guard = raisedGuard;
    return guard && guard->thread == wizardThread;
}

[[noreturn]] void RaiseExited()
{
    RaiseException(EXCEPTION_PLUGIN_EXITED, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    for (;;)
        ;
}

// A request to end the process from caller. On the wizard's thread in a
// probe, the probe ends there. From a kept plug-in's code, on a thread of
// its own, that thread ends instead, and the plug-in is noted for it; on the
// wizard's thread outside a probe, it is noted and ends in the trap region
// that is up, as a fault would.
void Intercept(const void* caller)
{
    if (Guarded())
        RaiseExited();
    int plugin = KeptPluginAt(caller);
    if (plugin < 0)
        return;
    NoteKeptEvent(plugin, KEPT_ASKED_TO_EXIT, 0);
    if (GetCurrentThreadId() == wizardThread)
        RaiseExited();
    ExitThread(0);
}

using ExitFn = void(__cdecl*)(int);

// The runtimes' ways to end the process with a code, each passed on to the
// function the caller's own slot held (a plug-in may bring a runtime of its
// own).
template <ExitFn Fallback> void __cdecl RuntimeExit(int code)
{
    const void* caller = __builtin_return_address(0);
    Intercept(caller);
    ExitFn original = OriginalOf(caller, &RuntimeExit<Fallback>);
    (original ? original : Fallback)(code);
}

void __cdecl Abort()
{
    const void* caller = __builtin_return_address(0);
    Intercept(caller);
    auto original = OriginalOf(caller, &Abort);
    (original ? original : abort)();
}

// The kernel's functions. A thread of the plug-in's own may end itself
// (EndsProcess false); the wizard's thread may not.
template <bool EndsProcess, class... Arguments> struct Kernel {
    template <void(WINAPI* End)(Arguments...)> static void WINAPI StandIn(Arguments... arguments)
    {
        const void* caller = __builtin_return_address(0);
        if (EndsProcess)
            Intercept(caller);
        else if (Guarded())
            RaiseExited();
        auto original = OriginalOf(caller, &StandIn<End>);
        (original ? original : End)(arguments...);
    }
};

// Ending another process is the plug-in's business.
BOOL WINAPI StandInTerminateProcess(HANDLE process, UINT code)
{
    const void* caller = __builtin_return_address(0);
    if (process == GetCurrentProcess() || GetProcessId(process) == GetCurrentProcessId())
        Intercept(caller);
    auto original = OriginalOf(caller, &StandInTerminateProcess);
    return (original ? original : TerminateProcess)(process, code);
}

// The fallbacks end the process at once. Each name has a stand-in of its
// own address, by which its original is found.
template <int> void __cdecl EndNow(int code) { _exit(code); }

const StandIn EXIT_STAND_INS[] = {
    {"exit", C_RUNTIME, reinterpret_cast<void*>(RuntimeExit<exit>)},
    {"_exit", C_RUNTIME, reinterpret_cast<void*>(RuntimeExit<EndNow<0>>)},
    {"_Exit", C_RUNTIME, reinterpret_cast<void*>(RuntimeExit<EndNow<1>>)},
    {"quick_exit", C_RUNTIME, reinterpret_cast<void*>(RuntimeExit<EndNow<2>>)},
    {"abort", C_RUNTIME, reinterpret_cast<void*>(Abort)},
    // The runtime's own end after a fatal runtime error.
    {"_amsg_exit", C_RUNTIME, reinterpret_cast<void*>(RuntimeExit<EndNow<3>>)},
    {"ExitProcess", KERNEL, reinterpret_cast<void*>(Kernel<true, UINT>::StandIn<ExitProcess>)},
    {"FatalExit", KERNEL, reinterpret_cast<void*>(Kernel<true, int>::StandIn<FatalExit>)},
    {"FatalAppExitA", KERNEL, reinterpret_cast<void*>(Kernel<true, UINT, LPCSTR>::StandIn<FatalAppExitA>)},
    {"FatalAppExitW", KERNEL, reinterpret_cast<void*>(Kernel<true, UINT, LPCWSTR>::StandIn<FatalAppExitW>)},
    {"TerminateProcess", KERNEL, reinterpret_cast<void*>(StandInTerminateProcess)},
    {"ExitThread", KERNEL, reinterpret_cast<void*>(Kernel<false, DWORD>::StandIn<ExitThread>)},
};

} // namespace

const StandIns EXIT_GUARD = StandInsOf(EXIT_STAND_INS);

void RaiseExitGuard(ExitGuard& guard)
{
    wizardThread = guard.thread = GetCurrentThreadId();
    raisedGuard = &guard;
}

void LowerExitGuard(ExitGuard& guard)
{
    guard.thread = 0;
    raisedGuard = nullptr;
}
