// The probe of one DLL, framed by what must come before the plug-in runs and
// after it has run or faulted, in an order that cannot be broken:
// - before: the marker for the next start, the watchdog, the record of what
//   the plug-in starts and registers (LeftoverNotes);
// - after: the watchdog stops, a library that stays loaded is kept with its
//   stand-ins, that record is closed, the marker goes, and the
//   floating-point state is the wizard's again.
// In between, the probe loads the plug-in and releases or keeps it through
// the frame: nothing is loaded, guarded or released without one.
#pragma once
#include <windows.h>
#include "base/text.h"
#include "plugdb/record.h"
#include "probe/exits.h"
#include "probe/leftovers.h"
#include "probe/marker.h"
#include "probe/outcome.h"
#include "probe/watchdog.h"

class ProbeFrame {
public:
    ProbeFrame(const char* path, const char* entryName, bool newEntry, const char* pluginName);
    ~ProbeFrame();
    ProbeFrame(const ProbeFrame&) = delete;
    ProbeFrame& operator=(const ProbeFrame&) = delete;

    // Probes the DLL at record->FullPath (LoadVstPlugin) inside the plug-in
    // trap region.
    ProbeResult probe(PluginRecord* record);

    // A step of the probe: named in the trace and the marker, and told to
    // the watchdog. runsPlugin: the step may run code of the plug-in's.
    void step(const char* text, bool runsPlugin = true);

    // Loads the DLL as the probe does, with the exit guard up and the import
    // slots of every library it brings in pointed at the wizard's stand-ins
    // (for their requests to end the process and their registrations) as
    // each is mapped. A DllMain that faulted, asked to end the process or
    // was skipped ends in the trap region like any other fault of the
    // plug-in.
    HMODULE loadPlugin(const char* path);
    // Puts the slots back and releases the library, unless its code can
    // still be reached: it then stays loaded to the end of the process.
    // Returns what it left behind (Leftover bits; 0 when it was released).
    unsigned releasePlugin(HMODULE library);

private:
    static LONG CALLBACK NoteLoadFault(EXCEPTION_POINTERS* pointers);

    char path_[PATH_TEXT_SIZE];
    char entryName_[10];
    HMODULE loaded_ = nullptr;
    bool released_ = false;
    // The fault a DllMain raised while loadPlugin's load ran on this thread.
    volatile DWORD loadingThread_ = 0;
    volatile DWORD loadFault_ = 0;
    MarkedProbe marker_;
    ExitGuard exitGuard_;
    WatchedProbe watched_;
    LeftoverNotes notes_;
};

// What the run calls: the probe of the DLL at path (its entry entryName,
// newEntry when made for this probe) in a frame of its own, filling record.
ProbeResult ProbePlugin(const char* path, const char* entryName, bool newEntry, PluginRecord* record);
