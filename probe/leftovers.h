// What a plug-in can leave behind that would still run its code once its
// library were released. Such a plug-in's library stays loaded to the end of
// the process, as a host would keep it.
//
// "The plug-in's code" is every library the probe's load brought into the
// process: the plug-in and what it loaded with it (the loader's
// notifications tell which), each watched from the moment it is mapped.
// What is looked for when the probe would release the library:
// - any thread of the process but the wizard's own whose start, current
//   instruction or live stack reaches into that code;
// - windows made on the wizard's thread during the probe (a CBT hook notes
//   each, message-only windows included) that still exist with a window or
//   dialog procedure in that code, read in the window's own character set;
// - what the plug-in's code registered through its import slots, or through
//   functions it looked up by name, and did not take back: window classes,
//   timers, message and event hooks, vectored exception and continue
//   handlers, thread-pool work, waits, timers and objects, multimedia timers,
//   fibre-local storage callbacks, and queued calls (work items, APCs) that
//   have not run to their end;
// - the process's unhandled-exception filter, if it lies in that code.
// A registration the wizard cannot follow to its end keeps the library, and
// so does a table too small for all that was noted.
#pragma once
#include <windows.h>
#include "probe/imports.h"
#include "probe/kept.h"
#include "probe/watchdog.h"

enum Leftover : unsigned short {
    LEFT_THREAD = 1,
    LEFT_WINDOW = 2,
    LEFT_CLASS = 4,
    LEFT_TIMER = 8,
    LEFT_HOOK = 16,
    LEFT_HANDLER = 32,
    LEFT_FILTER = 64,
    LEFT_POOL = 128,
    LEFT_MEDIA_TIMER = 256,
    LEFT_EVENT_HOOK = 512,
    LEFT_FIBRE_LOCAL = 1024,
    LEFT_QUEUED_CALL = 2048,
};

// The stand-ins that watch the plug-in's registrations, for UseStandIns.
extern const StandIns LEFTOVER_WATCH;

// Before the DLL at path is loaded, and after its probe, on the wizard's
// thread. The loader's notices tell watched where the plug-in is mapped.
void BeginLeftoverWatch(const char* path, WatchedProbe& watched);
void EndLeftoverWatch();
// From the DLL's load on, every library mapped is the plug-in's, and its
// slots are redirected as it is mapped.
void BeginLibraryNotes();
// The library as loaded, should the system not have told of it; and the
// slots of every library of the plug-in's that the loader bound only after
// its notice.
void NoteProbedLibrary(HMODULE library);
// The windows made on the wizard's thread since the probe began, the
// newest size of them, oldest first, for the watchdog; any may be gone since.
int WindowsMadeInProbe(HWND* found, int size);

// What of the plug-in's code can still be reached now (Leftover bits); 0
// when its library can be released. Asked while its slots still lead to the
// stand-ins.
unsigned LeftBehind();
// Puts back the slots of every library of the plug-in's, before it is
// released.
void RestoreProbedImports();
// Where the plug-in's code lies, for a plug-in that stays loaded: at most
// max ranges into ranges; returns how many.
int ProbedCode(CodeRange* ranges, int max);
