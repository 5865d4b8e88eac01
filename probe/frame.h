// The probe of one DLL, framed by what must come before the plug-in runs and
// after it has run or faulted, in an order that cannot be broken:
// - before: the marker for the next start, the watchdog, the notes of what
//   the plug-in starts;
// - after: the watchdog stops, a library that stays loaded is kept with its
//   stand-ins, the notes end, the marker goes, and the floating-point state
//   is the wizard's again.
// In between, the probe loads the plug-in and releases or keeps it with the
// two calls below.
#pragma once
#include <windows.h>
#include "plugdb/record.h"
#include "probe/outcome.h"

class ProbeFrame {
public:
    ProbeFrame(const char* path, const char* entryName, bool newEntry, const char* pluginName);
    ~ProbeFrame();
    ProbeFrame(const ProbeFrame&) = delete;
    ProbeFrame& operator=(const ProbeFrame&) = delete;

    // Probes the DLL at record->FullPath (LoadVstPlugin) inside the plug-in
    // trap region.
    ProbeResult probe(PluginRecord* record);
};

// Loads the DLL as the probe does, with the exit guard up and the import
// slots of every library it brings in pointed at the wizard's stand-ins
// (for their requests to end the process and their registrations) as each
// is mapped. A DllMain that faulted, asked to end the process or was
// skipped ends in the trap region like any other fault of the plug-in.
HMODULE LoadPlugin(const char* path);
// Puts the slots back and releases the library, unless its code can still
// be reached: it then stays loaded to the end of the process. Returns what
// it left behind (Leftover bits; 0 when it was released).
unsigned ReleasePlugin(HMODULE library);
