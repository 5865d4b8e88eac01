// What a plug-in can leave behind that would still run its code once its
// library were released: a thread, a window, a window class, a timer, a
// message hook, an exception handler or filter. Such a plug-in's library
// stays loaded to the end of the process, as a host would keep it.
//
// How each is seen, from the moment the probe begins to the moment it would
// release the library:
// - threads started in the process (noted as each thread starts, and as the
//   plug-in's own CreateThread or _beginthreadex returns) that are still
//   alive and whose start, current instruction or stack reaches into the
//   plug-in's code;
// - windows made on the wizard's thread (a CBT hook notes each one, message-
//   only windows included) that still exist with a window or dialog
//   procedure in that code;
// - window classes, timers with a callback, message hooks and vectored
//   exception handlers the plug-in registered through its own import table,
//   and not taken back;
// - the process's unhandled-exception filter, if it lies in that code.
// "The plug-in's code" is every library the probe brought into the process:
// the plug-in and what it loaded with it.
#pragma once
#include <windows.h>
#include "probe/imports.h"

enum Leftover : unsigned char {
    LEFT_THREAD = 1,
    LEFT_WINDOW = 2,
    LEFT_CLASS = 4,
    LEFT_TIMER = 8,
    LEFT_HOOK = 16,
    LEFT_HANDLER = 32,
    LEFT_FILTER = 64,
};

// The stand-ins that watch the plug-in's registrations, for RedirectImports.
extern const StandIns LEFTOVER_WATCH;

// Before the DLL at path is loaded, and after its probe, on the wizard's
// thread.
void BeginLeftoverWatch(const char* path);
void EndLeftoverWatch();
// The library as loaded, should the system not have told of it.
void NoteProbedLibrary(HMODULE library);
// The windows made on the wizard's thread since the probe began, the
// newest size of them, oldest first, for the watchdog; any may be gone since.
int WindowsMadeInProbe(HWND* found, int size);

// What of the plug-in's code can still be reached now (Leftover bits); 0
// when its library can be released.
unsigned LeftBehind();
