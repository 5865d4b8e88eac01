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

// The stand-ins that watch the plug-in's registrations, for UseStandIns:
// process-wide, as a kept plug-in's slots lead to them for good.
extern const StandIns LEFTOVER_WATCH;

// The live-thread list is process-wide: it holds every thread of the
// process from its start to its end (the program's thread-local storage
// callbacks), whoever started it and whenever. It holds this many; more make
// LeftBehind take a snapshot of the system's threads instead.
const int MAX_LIVE_THREADS = 4096;

// What one probe's plug-in started, made and registered, held by its frame.
// Between BeginLeftoverWatch and EndLeftoverWatch, the stand-ins and the
// loader's notices (on any thread, some inside the loader) note into it
// through one process-wide pointer, set and cleared under the table lock;
// the window hook, on the wizard's thread, follows the same pointer. A call
// the plug-in queued may run after its probe: it then notes nothing.
struct LeftoverNotes {
    static const int MAX_LIBRARIES = 64;
    static const int MAX_THREADS = 256;
    static const int MAX_WINDOWS = 256;
    static const int MAX_REGISTRATIONS = 1024;

    // Where the plug-in asked a thread to start: for a thread started
    // through a runtime, the system knows only the runtime's start.
    struct ThreadNote {
        DWORD id;
        void* start;
    };
    // A registration made through the plug-in's slots, until taken back.
    struct Registration {
        unsigned short kind;    // a Leftover bit
        bool wide;              // a class registered with the W call
        void* owner;            // timer: its window or queue; class: its instance
        UINT_PTR key;           // what the plug-in takes it back by
        void* code;             // the callback (the class's procedure)
    };

    volatile LONG notingLibraries = 0;  // from the DLL's load on
    volatile LONG overflowed = 0;       // kinds that did not fit their table: kept to be safe
    // The libraries the probe brought in, from the system's load notices.
    CodeRange libraries[MAX_LIBRARIES];
    int libraryCount = 0;
    bool librariesOverflowed = false;
    wchar_t pluginFile[MAX_PATH] = {};  // the probed DLL's file name, to know it among them
    WatchedProbe* watched = nullptr;    // told where that file is mapped
    ThreadNote threads[MAX_THREADS];
    int threadCount = 0;
    HWND windows[MAX_WINDOWS];          // made on the wizard's thread, noted there
    int windowCount = 0;
    HHOOK windowHook = nullptr;
    Registration registrations[MAX_REGISTRATIONS];
    int registrationCount = 0;
    // LeftBehind's copies, taken under the lock and looked at outside it.
    Registration registered[MAX_REGISTRATIONS];
    DWORD threadIds[MAX_LIVE_THREADS + MAX_THREADS];
};

// Before the DLL at path is loaded, and after its probe, on the wizard's
// thread. The loader's notices tell watched where the plug-in is mapped.
void BeginLeftoverWatch(LeftoverNotes& notes, const char* path, WatchedProbe& watched);
void EndLeftoverWatch(LeftoverNotes& notes);
// From the DLL's load on, every library mapped is the plug-in's, and its
// slots are redirected as it is mapped.
void BeginLibraryNotes(LeftoverNotes& notes);
// The library as loaded, should the system not have told of it; and the
// slots of every library of the plug-in's that the loader bound only after
// its notice.
void NoteProbedLibrary(LeftoverNotes& notes, HMODULE library);
// The windows made on the wizard's thread since the probe began, the
// newest size of them, oldest first, for the watchdog; any may be gone since.
int WindowsMadeInProbe(const LeftoverNotes& notes, HWND* found, int size);

// What of the plug-in's code can still be reached now (Leftover bits); 0
// when its library can be released. Asked while its slots still lead to the
// stand-ins.
unsigned LeftBehind(LeftoverNotes& notes);
// Puts back the slots of every library of the plug-in's, before it is
// released.
void RestoreProbedImports(const LeftoverNotes& notes);
// Where the plug-in's code lies, for a plug-in that stays loaded: at most
// max ranges into ranges; returns how many.
int ProbedCode(const LeftoverNotes& notes, CodeRange* ranges, int max);
