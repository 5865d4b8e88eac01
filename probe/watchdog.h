// The watchdog: a second thread that notices a probe step that does not come
// back, asks the user whether to wait or to skip the plug-in, and on "Skip"
// makes the wizard's thread leave the plug-in through the plug-in trap region
// (it raises EXCEPTION_PLUGIN_SKIPPED there). All plug-in code still runs on
// the wizard's thread; the watchdog only watches.
//
// A thread stuck inside the system (in a kernel wait, or in a system
// library) cannot be taken out safely: the user is told that the wizard must
// close, and the process ends with exit code 0, leaving the marker of the
// probe under way for the next start.
#pragma once
#include <windows.h>

// The product key's value that sets how long one step may run, in seconds.
#define PROBE_TIMEOUT_VALUE "probeTimeout"
enum { DEFAULT_PROBE_TIMEOUT = 15 };

enum HangAnswer { HANG_WAIT, HANG_SKIP, HANG_RETURNED };

// The question, asked on the watchdog's thread; the run sets it (the window
// is one of the pages). stillWaiting() turns false once the step asked about
// has ended; the question then goes away with HANG_RETURNED. While it is
// null, the watchdog never asks and so never interrupts anything.
extern HangAnswer (*askAboutHang)(const char* pluginName, const char* step, DWORD stepStart,
                                  bool (*stillWaiting)());

// Before and after the trapped probe of one DLL, on the wizard's thread. The
// first call of a run starts the thread and reads the limit.
void WatchProbe(const char* pluginName);
void StopWatching();

// The probe's heartbeat: a new step has begun (step is a constant text).
void WatchdogStep(const char* step);
// The library being probed: the one place the thread may be taken out of.
// Null while it is loaded or released, when its DllMain runs inside the
// loader, whose lock would stay held.
void WatchdogLibrary(HMODULE library);
