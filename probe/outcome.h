// What the probe of one DLL came to: the probe returns it, and the run
// decides from it what to write and report.
#pragma once
#include <windows.h>
#include "base/state.h"

enum ProbeEnd : unsigned char {
    PROBE_LOAD_FAILED,      // detail: GetLastError of the load
    PROBE_NO_ENTRY,         // detail: 1 when "VSTPluginMain" is exported
    PROBE_NO_EFFECT,        // detail: 0 no effect, 1 an effect without dispatcher
    PROBE_BAD_MAGIC,        // detail: the magic found
    PROBE_NOT_IDENTIFIED,   // detail: effIdentify's answer
    PROBE_PASSED,
};

// A probe that ran to its end.
struct ProbeOutcome {
    ProbeEnd end;
    DWORD detail;
    unsigned short leftBehind = 0;   // Leftover bits: the library was kept loaded; 0 when it was freed
};

// A probe as its frame answers it: run to its end, or ended by the plug-in
// trap region.
struct ProbeResult {
    bool trapped;
    ProbeOutcome outcome;               // when not trapped
    DWORD exceptionCode;                // when trapped: 0 for one of the program's own throws
    char step[TRACE_TEXT_SIZE];         // when trapped: the probe's step, as traceProbeStep held it

    // A library left loaded by a trap, or for what it left behind, stays
    // loaded to the end of the process.
    bool keptLoaded() const { return trapped || outcome.leftBehind; }
};
