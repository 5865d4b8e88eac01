// A plug-in's own requests to end the process while it is probed.
//
// Right after a plug-in is loaded, its import slots for the process-ending
// functions of the C runtimes (exit, _exit, _Exit, quick_exit, abort,
// _amsg_exit) and of kernel32 (ExitProcess, FatalExit, FatalAppExit,
// TerminateProcess of the process itself, ExitThread) are pointed at the
// stand-ins below. Called on the wizard's thread while the guard is up, a
// stand-in raises EXCEPTION_PLUGIN_EXITED, which ends in the plug-in trap
// region like a fault; called from any other thread, or after the guard is
// down, it does what the function the caller imported does. A statically
// linked C runtime reaches ExitProcess through the plug-in's own import
// slot, so its exit and abort are caught as well.
//
// Not caught: a request made in the plug-in's DllMain (it runs inside the
// load, before the slots can be set), calls through pointers the plug-in
// looked up itself, and requests made inside other libraries. The process
// then ends, and the marker of the probe under way names the plug-in and its
// step.
#pragma once
#include <windows.h>
#include "probe/imports.h"

// The stand-ins, for RedirectImports.
extern const StandIns EXIT_GUARD;

// Raises the guard for the calling thread: from now on the stand-ins stop
// it ending the process.
void RaiseExitGuard();
// Lowers it: before the plug-in is released and after a trap (its code may
// still run, for instance in a window procedure while a page is up).
void LowerExitGuard();
