// A plug-in's own requests to end the process.
//
// The import slots of a plug-in, and of the libraries its load brings in,
// for the process-ending functions of the C runtimes (exit, _exit, _Exit,
// quick_exit, abort, _amsg_exit) and of kernel32 (ExitProcess, FatalExit,
// FatalAppExit, TerminateProcess of the process itself, ExitThread) are
// pointed at the stand-ins below as each library is mapped, before its
// DllMain runs; a look-up of one by name gets the stand-in too.
// - Called on the wizard's thread while the guard is up (a probe runs), a
//   stand-in raises EXCEPTION_PLUGIN_EXITED, which ends in the plug-in trap
//   region like a fault.
// - Called from the code of a plug-in kept loaded after its probe, it stops
//   the calling thread instead of the process, and the plug-in is noted for
//   it (probe/kept.h).
// - Otherwise it does what the function the caller's slot held does.
// A statically linked C runtime reaches ExitProcess through the plug-in's
// own slot, so its exit and abort are caught as well. Not caught: a system
// call made directly, without kernel32.
#pragma once
#include <windows.h>
#include "probe/imports.h"

// The stand-ins, for UseStandIns: process-wide, as a kept plug-in's slots
// lead to them for good.
extern const StandIns EXIT_GUARD;

// One probe's guard, held by its frame.
struct ExitGuard {
    volatile DWORD thread = 0;      // 0: lowered
};

// Raises the guard for the calling thread: from now on the stand-ins stop
// it ending the process.
void RaiseExitGuard(ExitGuard& guard);
// Lowers it, once the probe has ended.
void LowerExitGuard(ExitGuard& guard);
