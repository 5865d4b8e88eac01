// A plug-in's own requests to end the process while it is probed.
//
// Right after a plug-in is loaded, its import slots for the process-ending
// functions of the C runtimes (exit, _exit, _Exit, quick_exit, abort,
// _amsg_exit) and of kernel32 (ExitProcess, FatalExit, FatalAppExit,
// TerminateProcess of the process itself, ExitThread) are pointed at
// stand-ins. Called on the wizard's thread while the guard is up, a stand-in
// raises EXCEPTION_PLUGIN_EXITED, which ends in the plug-in trap region like
// a fault; called from any other thread, or after the guard is down, it does
// what the real function does. A statically linked C runtime reaches
// ExitProcess through the plug-in's own import slot, so its exit and abort
// are caught as well.
//
// Not caught: a request made in the plug-in's DllMain (it runs inside the
// load, before the slots can be set; raising there would unwind through the
// loader with its lock held), calls through pointers the plug-in looked up
// itself, and requests made inside other libraries. The process then ends,
// and the marker of the probe under way names the plug-in and its step.
#pragma once
#include <windows.h>

// Points library's import slots at the stand-ins and raises the guard for
// the calling thread. Slots of an earlier guard are put back first.
void GuardExits(HMODULE library);

// Puts the slots back and lowers the guard. Before the library is released
// (its slots go with it) and after a trap (it stays loaded, and its code may
// still run, for instance in a window procedure while a page is up). Does
// nothing when no guard is up.
void UnguardExits();
