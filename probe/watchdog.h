// The watchdog: a second thread that notices a probe step that does not come
// back, asks the user whether to wait or to skip the plug-in, and on "Skip"
// makes the wizard's thread raise the skip exception (EXCEPTION_PLUGIN_SKIPPED),
// which ends in the plug-in trap region. All plug-in code still runs on
// the wizard's thread; the watchdog only watches.
//
// When the thread is stopped in the plug-in's own code, its context is set
// to raise the skip exception at once. When it is inside the system, called
// from the plug-in (a wait, a sleep), the nearest return address into the
// plug-in on its stack is redirected to raise it instead: the system call
// finishes and gives up its locks first. Only the thread's own stack, as its
// TEB bounds it, between its stack pointer and the probe's frames, is read
// or written for this. A call that never returns cannot be left, nor can a
// plug-in that runs on a stack of its own (a fibre's, or a block it
// switched to): the user is told that the wizard must close, and the
// process ends with exit code 0, leaving the marker of the probe under way
// for the next start.
#pragma once
#include <windows.h>

// The product key's value that sets how long one step may run, in seconds.
#define PROBE_TIMEOUT_VALUE "probeTimeout"
enum { DEFAULT_PROBE_TIMEOUT = 15 };

enum HangAnswer { HANG_WAIT, HANG_SKIP, HANG_RETURNED };

struct LeftoverNotes;

// The not-responding window, on the watchdog's thread; the run sets it (the
// window is one of the pages). While it is null, the watchdog never asks
// and so never interrupts anything.
// - With a null pluginName, before any plug-in runs: make the window now,
//   so that it can appear while a plug-in holds the loader's lock.
// - With mustClose: tell the user the wizard must close; returns when they
//   have read it.
// - Otherwise ask. stillWaiting() turns false once the step asked about has
//   ended; the question then goes away with HANG_RETURNED. waitedIn()
//   gives the plug-in's own window the thread waits in for an answer (a
//   dialog, a message box, a file dialog it made in this probe), or null;
//   on "Skip" the watchdog closes the plug-in's windows so that the call
//   returns.
extern HangAnswer (*askAboutHang)(const char* pluginName, const char* step, DWORD stepStart,
                                  bool (*stillWaiting)(), HWND (*waitedIn)(), bool mustClose);

// One probe as the watchdog sees it, held by its frame. The wizard's thread
// writes it; the watchdog's thread reads it through a process-wide pointer
// between WatchProbe and StopWatching. The heartbeat writes the step's text
// and start before it increments stepCount: when stepCount reads the same
// before and after, the text and start read between belong to that step.
struct WatchedProbe {
    volatile LONG watching = 0;
    volatile LONG stepCount = 0;
    const char* volatile stepText = "";
    volatile DWORD stepStart = 0;
    HMODULE volatile library = nullptr;
    const char* volatile pluginName = "";
    const void* volatile stackTop = nullptr;
    volatile LONG skipRaised = 0;
    const LeftoverNotes* notes = nullptr;   // the windows the plug-in made
    // The watchdog's thread's own: the step the user was asked about, and
    // the step they chose to wait for, from waitFrom on.
    LONG askedStep = -1;
    LONG waitStep = -1;
    DWORD waitFrom = 0;
};

// Before and after the trapped probe of one DLL, on the wizard's thread. The
// first call of a run starts the thread and reads the limit. The thread, its
// window, the limit and the wizard's thread's handle are process-wide: they
// are made before the first plug-in is loaded, as a plug-in stuck in its
// DllMain holds the loader they need. stackTop lies
// above every frame of the probe: return addresses into the plug-in are
// looked for below it. notes are the frame's, alive while it is watched.
// StopWatching returns once the watchdog's thread no longer reads the probe.
void WatchProbe(WatchedProbe& probe, const char* pluginName, const void* stackTop, const LeftoverNotes& notes);
void StopWatching(WatchedProbe& probe);

// The probe's heartbeat: a new step has begun (step is a constant text).
void WatchdogStep(WatchedProbe& probe, const char* step);
// The library being probed, as soon as it is mapped (its DllMain may hang);
// null once it is released or kept.
void WatchdogLibrary(WatchedProbe& probe, HMODULE library);
// When the skip exception was raised but did not reach the trap region (the
// system's loader catches what a DllMain raises, and a plug-in may catch it
// itself), raises it again, from the probe's own code.
void RaiseSkipAgain(const WatchedProbe& probe);
