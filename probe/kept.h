// Plug-ins kept loaded after their probe, because their code can still run.
// Their import slots keep the stand-ins for good, so that a request of
// theirs to end the process stops only the thread that made it; a thread of
// theirs that faults is stopped too. Each such event is noted against the
// plug-in whose code it came from, for the run to report and mark bad.
// Process-wide: a kept plug-in's code runs until the process ends, long
// after the frame of its probe.
#pragma once
#include <windows.h>

// Where a kept plug-in's code lies: its library and the libraries its load
// brought in.
struct CodeRange {
    ULONG_PTR base, size;
};

enum KeptEvent : unsigned char {
    KEPT_ASKED_TO_EXIT = 1,
    KEPT_CRASHED = 2,
};

struct KeptReport {
    const char* path;           // the DLL's full path, as the probe had it
    const char* entryName;      // its entry under "Plug-Ins"
    KeptEvent event;
    DWORD code;                 // KEPT_CRASHED: the exception's code
};

// After the probe of path, whose library stays loaded. The first one also
// takes over the process's unhandled-exception filter.
void KeepPlugin(const char* path, const char* entryName, const CodeRange* ranges, int count);
// A library that went away after all (a plug-in may free itself): its
// place may be another's now.
void ForgetKeptCode(const void* base);
// The kept plug-in whose code holds address; -1 for none. Any thread.
int KeptPluginAt(const void* address);
// Any thread: the kept plug-in did what event says.
void NoteKeptEvent(int plugin, KeptEvent event, DWORD code);
// An event not yet taken, on the wizard's thread; false when there is none.
bool TakeKeptEvent(KeptReport* report);
